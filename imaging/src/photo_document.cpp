// Documents beside a photograph: the checks every kind shares.

#include "imaging/photo_document.hpp"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "imaging/errors.hpp"
#include "imaging/file_output.hpp"
#include "imaging/paths.hpp"

namespace imaging {

void refuseDocument(const PhotoDocumentKind& kind, const std::string& source, const std::string& why) {
    throw RunError::refused(std::string(kind.title) + " " + source + ": " + why);
}

Json parsePhotoDocument(const PhotoDocumentKind& kind, const std::string& text, const std::string& source) {
    Json doc;
    try {
        doc = Json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        refuseDocument(kind, source, std::string("not a JSON document (") + e.what() + ")");
    }
    const std::string noun(kind.noun);
    if (!doc.is_object()) refuseDocument(kind, source, "not a " + noun + " document");
    if (!doc.contains("format") || doc["format"] != kind.format)
        refuseDocument(kind, source,
                       "not a " + noun + " document (\"format\" is not \"" + std::string(kind.format) + "\")");
    if (!doc.contains("version") || !doc["version"].is_number_integer()) refuseDocument(kind, source, "\"version\" is missing");
    if (doc["version"].get<long long>() != kind.version)
        refuseDocument(kind, source,
                       "version " + doc["version"].dump() + " is not supported (this program reads version " +
                           std::to_string(kind.version) + ")");
    return doc;
}

std::string photoDocumentText(const Json& document) {
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string readPhotoDocumentFile(const PhotoDocumentKind& kind, const std::string& name) {
    const std::string path = hostPath(name);
    const std::string what = "Cannot read the " + std::string(kind.noun) + " file";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw RunError::fileNotFound(name);
    if (std::filesystem::is_directory(path, ec)) throw RunError::fileError(what + " (is a directory)", name);
    std::ifstream file(path, std::ios::binary);
    if (!file) throw RunError::fileError(what, name);
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) throw RunError::fileError(what, name);
    return content.str();
}

void writePhotoDocumentFile(const PhotoDocumentKind& kind, const std::string& name, const std::string& text) {
    // Written beside the target and renamed over it: a failed write leaves the old file whole.
    writeWholeFile(name, text, "the " + std::string(kind.noun) + " file");
}

std::string documentPhoto(const PhotoDocumentKind& kind, const Json& document, const std::string& source) {
    if (!document.contains("photo") || !document["photo"].is_string())
        refuseDocument(kind, source, "\"photo\" is not a file name");
    return document["photo"].get<std::string>();
}

std::optional<uint64_t> documentSeed(const PhotoDocumentKind& kind, const Json& document, const std::string& source) {
    if (!document.contains("seed") || document["seed"].is_null()) return std::nullopt;
    if (!document["seed"].is_number_unsigned()) refuseDocument(kind, source, "\"seed\" is not a whole number from 0 up");
    return document["seed"].get<uint64_t>();
}

void checkDocumentPhoto(const PhotoDocumentKind& kind, const std::string& documentPhoto,
                        const std::string& documentName, const std::string& photoName, const std::string& label) {
    if (documentPhoto.empty() || photoName.empty() || documentPhoto == photoName) return;
    throw RunError::refused(label + documentName + " holds the " + std::string(kind.noun) + " of " + documentPhoto +
                            ", not of " + photoName);
}

std::string photoDocumentFor(const PhotoDocumentKind& kind, const std::string& photoPath) {
    const std::filesystem::path p(photoPath);
    return (p.parent_path() / (p.stem().string() + std::string(kind.suffix))).string();
}

}  // namespace imaging
