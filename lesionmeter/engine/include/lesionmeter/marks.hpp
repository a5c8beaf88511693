#pragma once
// The marks of a lesion analysis: what the user clicked on the photograph, kept in a file so that
// the analysis can be repeated. A marks file is one JSON document:
//   {"format": "lesionmeter-marks", "version": 1, "photo": "NAME.jpg",
//    "in": [[x, y], ...], "out": [[x, y], ...], "centre": [x, y] or null,
//    "seed": N or null, "scale": 1.0}
// Positions are pixels of the analysed photograph (after any reduction to fit), in click order;
// `scale` is that reduction factor (1 when none; divide a position by it for the original
// photograph's pixels); `seed` is the seed of the last "Calc + Draw".

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lesionmeter {

class LesionAnalysis;

// A click position in photograph pixels.
struct MarkPosition {
    float x = 0.0f;
    float y = 0.0f;
    bool operator==(const MarkPosition&) const = default;
};

struct Marks {
    std::string photo;                    // the photograph's file name, without folder
    std::vector<MarkPosition> in;         // "IN" samples, in click order
    std::vector<MarkPosition> out;        // "OUT" samples, in click order
    std::optional<MarkPosition> centre;   // the reference centre (right click), if any
    std::optional<uint64_t> seed;         // seed of the last "Calc + Draw", if any
    double scale = 1.0;                   // reduction factor of the photograph
    bool operator==(const Marks&) const = default;
};

inline constexpr const char* kMarksFormat = "lesionmeter-marks";
inline constexpr int kMarksVersion = 1;

// The document's text (two-space indent, final line end). Whole-number positions are written as
// integers, others as the shortest text that reads back to the same single-precision value.
std::string marksText(const Marks& marks);
// Reads a document; `source` names it in messages. Anything that is not a marks document of this
// version (wrong format or version, a missing or mistyped field, more than 50 samples of a class,
// a negative seed, a scale outside (0, 1]) is refused with a message naming the source.
Marks parseMarks(const std::string& text, const std::string& source);

// Reads and writes marks files. Names go through the drive-letter rule ("c:\a.json" is
// $HOME/a.json). Writing replaces the file as a whole.
Marks readMarks(const std::string& name);
void writeMarks(const std::string& name, const Marks& marks);

// Refuses (imaging::RunError, ErrorKind::Refused) marks made for another photograph: their
// `photo` is not `photoName`, the file name (without folder) of the photograph they are about to
// be clicked into. Marks without a photo name, or a photograph without a name, are not compared.
// The message names the marks as `marksName`, after the route's `label` ("Load marks: " in the
// window, "--marks " in lesionmeter-cli, "" where the name says it all):
// "LABEL MARKS holds the marks of OTHER.jpg, not of PHOTO.jpg".
void checkMarksPhoto(const Marks& marks, const std::string& marksName, const std::string& photoName,
                     const std::string& label = "");

// The marks file that belongs to a photograph: DIR/NAME.EXT -> DIR/NAME.marks.json.
std::string marksFileFor(const std::string& photoPath);

// The analysis's marks as they stand: the samples of both classes (1..count), the centre set
// last, the seed of the last "Calc + Draw" and the photograph's name and scale.
Marks marksOf(const LesionAnalysis& analysis);

// Refuses marks that cannot be placed on the analysis's photograph as they were made: no
// photograph loaded, another reduction factor, more than 50 samples in a class, or a position
// outside the photograph (a sample reads the pixel of its position rounded half to even).
void checkMarksPlacement(const LesionAnalysis& analysis, const Marks& marks);

// Places the marks on the analysis, after checkMarksPlacement: the IN class started anew and
// each IN position sampled, the same for OUT, then the centre set. Samples, positions and
// profiles are those of the same marks made by hand. The seed is not applied here (see
// LesionAnalysis::setNextRunSeed).
void placeMarks(LesionAnalysis& analysis, const Marks& marks);

}  // namespace lesionmeter
