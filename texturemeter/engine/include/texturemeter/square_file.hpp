#pragma once
// The analysed square of a photograph, kept so that its texture run can be repeated: where the
// square lies, the run's parameters, its variant and its seed. Two sources give squares:
// - a square file beside the photograph, NAME.square.json, one JSON document:
//     {"format": "texturemeter-square", "version": 1, "photo": "NAME.jpg", "x": 10, "y": 20,
//      "side": 200, "window": 40, "neighbour": 4, "variant": "A", "seed": 42}
//   read and written with the rules of every document kept beside a photograph
//   (imaging/photo_document.hpp), as the lesion marks files are;
// - a square table (square_table.hpp), one row per photograph.
// `x`, `y` (the corner) are required. What a square leaves out (null or absent: `side`, `window`,
// `neighbour`, `variant`, `seed`) is filled in by whoever runs it: the command line's options, the
// window's boxes.

#include <cstdint>
#include <optional>
#include <string>

#include "texturemeter/stages.hpp"

namespace texturemeter {

struct Square {
    std::string photo;                 // the photograph's file name (without folder), or as a table gives it
    int16_t x = 0;                     // the corner, photograph pixels
    int16_t y = 0;
    std::optional<int16_t> side;       // "Sampling width", as the run reads it
    std::optional<double> window;      // "Length of one side", the tile side
    std::optional<double> neighbour;   // neighbour distance of the outline
    std::optional<Variant> variant;    // which run button
    std::optional<uint64_t> seed;      // the photo seed the run was analysed with
    bool operator==(const Square&) const = default;
};

inline constexpr const char* kSquareFormat = "texturemeter-square";
inline constexpr int kSquareVersion = 1;

// "A", "B", "C" and back ("a", "b", "c" are read too); nothing for any other text.
const char* variantLetter(Variant variant);
std::optional<Variant> parseVariantLetter(const std::string& text);

// The document's text (two-space indent, final line end). Every field is written, null where the
// square gives none; the numbers as the shortest text that reads back exactly.
std::string squareText(const Square& square);
// Reads a document; `source` names it in messages ("Square file SOURCE: ..."). Refused: anything
// that is not a square document of this version, a missing "photo", "x" or "y", a corner or side
// that is not a whole number from -32768 to 32767, a window or neighbour that is not a number, a
// variant other than "A", "B", "C", a seed that is not a whole number from 0 to 2^64-1.
Square parseSquare(const std::string& text, const std::string& source);

// Reads and writes square files. Names go through the drive-letter rule; writing replaces the
// file as a whole.
Square readSquare(const std::string& name);
void writeSquare(const std::string& name, const Square& square);

// Refuses (imaging::RunError, Refused) a square made for another photograph, as marks are:
// "LABEL SQUARE holds the square of OTHER.jpg, not of PHOTO.jpg". `photoName` is the file name
// (without folder) of the photograph; a square without a photo name is not compared.
void checkSquarePhoto(const Square& square, const std::string& squareName, const std::string& photoName,
                      const std::string& label = "");

// The square file that belongs to a photograph: DIR/NAME.EXT -> DIR/NAME.square.json.
std::string squareFileFor(const std::string& photoPath);

}  // namespace texturemeter
