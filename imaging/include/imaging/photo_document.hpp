#pragma once
// Documents kept beside a photograph so that its analysis can be repeated (the lesion analyzer's
// marks files, the texture analyzer's square files): one JSON document each, named after the
// photograph (DIR/NAME.EXT -> DIR/NAME.SUFFIX), that names its format, its version and the
// photograph it belongs to. The rules every such document follows are written here once:
// - reading: a JSON object whose "format" and "version" are this kind's, else refused naming the
//   file; seeds are whole numbers from 0 to 2^64-1, read exactly;
// - writing: two-space indent, final line end, non-UTF-8 bytes replaced, the file replaced as a
//   whole (a failed write leaves the previous one);
// - a document made for another photograph is refused.
// Every refusal is an imaging::RunError of kind Refused; a missing or unreadable file is a file
// error naming it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace imaging {

// A JSON value whose objects keep their names in the order they were added.
using Json = nlohmann::ordered_json;

// One kind of document: how it is recognised and how messages name it.
struct PhotoDocumentKind {
    std::string_view format;  // the "format" value, e.g. "lesionmeter-marks"
    int version;              // the one version this program reads and writes
    std::string_view title;   // starts every refusal: "Marks file NAME: ..."
    std::string_view noun;    // "not a marks document", "holds the marks of ...", "the marks file"
    std::string_view suffix;  // after the photograph's stem: ".marks.json"
};

// Refuses the document `source` of that kind: "TITLE SOURCE: WHY".
[[noreturn]] void refuseDocument(const PhotoDocumentKind& kind, const std::string& source, const std::string& why);

// Parses `text` as a document of that kind: a JSON object with this kind's "format" and
// "version". The fields after them are the caller's to read.
Json parsePhotoDocument(const PhotoDocumentKind& kind, const std::string& text, const std::string& source);

// The document's text: two-space indent and a final line end; non-UTF-8 bytes in names are
// replaced rather than refused.
std::string photoDocumentText(const Json& document);

// The whole content of the file `name` (through hostPath): "File not found: NAME", or "Cannot
// read the NOUN file (is a directory): NAME" and the like.
std::string readPhotoDocumentFile(const PhotoDocumentKind& kind, const std::string& name);
// Writes `text` as the file `name`, replacing any previous file as a whole.
void writePhotoDocumentFile(const PhotoDocumentKind& kind, const std::string& name, const std::string& text);

// The document's "photo": a string (required).
std::string documentPhoto(const PhotoDocumentKind& kind, const Json& document, const std::string& source);
// The document's "seed": null or absent (nothing), or a whole number from 0 up, kept exactly.
std::optional<uint64_t> documentSeed(const PhotoDocumentKind& kind, const Json& document, const std::string& source);
// A seed as the document writes it: the number, or null.
inline Json seedJson(const std::optional<uint64_t>& seed) { return seed ? Json(*seed) : Json(nullptr); }

// Refuses (Refused) a document made for another photograph: its photo name `documentPhoto` is not
// `photoName`, the file name (without folder) of the photograph it is about to be used with. A
// document without a photo name, or a photograph without a name, is not compared. The message
// names the document as `documentName`, after the route's `label`:
// "LABEL NAME holds the NOUN of OTHER.jpg, not of PHOTO.jpg".
void checkDocumentPhoto(const PhotoDocumentKind& kind, const std::string& documentPhoto,
                        const std::string& documentName, const std::string& photoName,
                        const std::string& label = "");

// The document of that kind that belongs to a photograph: DIR/NAME.EXT -> DIR/NAME.SUFFIX.
std::string photoDocumentFor(const PhotoDocumentKind& kind, const std::string& photoPath);

}  // namespace imaging
