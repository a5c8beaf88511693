#pragma once
// The parameters of a texture run as numbers. Every shell (the window, texturemeter-cli, the
// Python package) reads its own input into TextureParameters once; the engine takes only these
// numbers. A parameter that cannot be read, or breaks a limit the run would break, fails with a
// ParameterError: the error the run raises there ("Type mismatch", "Overflow", "Subscript out of
// range", ...), word for word, plus which parameter failed and the limit behind it, so that each
// shell can word a hint in its own vocabulary (the window adds none).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/errors.hpp"
#include "texturemeter/results_file.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

// Each parameter of a run, by what it sets.
enum class TextureParameter {
    CornerX,            // left edge of the analysed square
    CornerY,            // top edge
    RegionSide,         // side of the square ("Sampling width")
    TileSide,           // tile side of the surface dimension ("Length of one side")
    NeighbourDistance,  // neighbour distance of the bright-region outline
};

// A run's parameters, read.
struct TextureParameters {
    Variant variant = Variant::A;
    RegionSquare region{0, 0, 200};  // corner and side, 16-bit as the run holds them
    double tileSide = 40;
    double neighbourDistance = 4;
    std::string resultsName = std::string(kDefaultResultsName);
};

// The parameters as a person typed them (the window's boxes, texturemeter-cli's options), before
// readParameters reads them.
struct RunTexts {
    std::string resultsName = std::string(kDefaultResultsName);  // "Output File"
    std::string tileSide = "40";                                 // "Length of one side"
    std::string regionSide = "200";                              // "Sampling width"
    std::string neighbourDistance = "4";                         // neighbour distance of the outline
};

// The limit a failed parameter broke, as data: each shell words it (describeLimit).
enum class ParameterRule {
    None,                  // nothing to add (a text that is no number, a 16-bit overflow, a file error)
    PairTileSideBelow20,   // the side and tile side do not fit because the tile side is below 20
    PairSideAbove499,      // ... because the side is above 499
    PairTilesBeyondGrids,  // ... because the tiles reach past the 0..500 work grids (fittingSide)
    SideAtMost499,
    SideAtLeast121,        // the sampling line's rings reach 60.5 pixels from the middle
    TileSideAtLeast20,
    SquareWithinGrids,     // the square and its tiles must stay within the 0..500 work grids
    SideNotZero,
    UniformSquare,         // Start (C) normalization needs more than one grey level
};

struct ParameterLimit {
    ParameterRule rule = ParameterRule::None;
    int16_t side = 0;
    double tileSide = 0;
    int16_t fittingSide = 0;  // PairTilesBeyondGrids: the largest side that fits the tile side (0: none)
};

// The limit behind an error of a run (or of its checks) of kind `kind` with this side and tile
// side (nothing when they are unknown, i.e. could not be read).
ParameterLimit limitBehind(imaging::ErrorKind kind, std::optional<int16_t> side, std::optional<double> tileSide,
                           Variant variant);
inline ParameterLimit limitBehind(const imaging::RunError& error, const TextureParameters& p) {
    return limitBehind(error.kind(), p.region.regionSide, p.tileSide, p.variant);
}

// A parameter that failed: what() is the run's own error text, unchanged.
class ParameterError : public imaging::RunError {
public:
    ParameterError(const imaging::RunError& cause, TextureParameter parameter, ParameterLimit limit = {})
        : imaging::RunError(cause), parameter_(parameter), limit_(limit) {}
    TextureParameter parameter() const noexcept { return parameter_; }
    const ParameterLimit& limit() const noexcept { return limit_; }

private:
    TextureParameter parameter_;
    ParameterLimit limit_;
};

// How a shell names the parameters in a hint or a warning: texturemeter-cli
// {"--side", "--window", " ", "--x", "--y"}, the Python package {"side", "window", "=", "x", "y"}.
struct ParameterWords {
    std::string regionSide;
    std::string tileSide;
    std::string assign;  // between a name and its value ("--side 500", "side=500")
    std::string cornerX;
    std::string cornerY;
};

// The hint for a limit in a shell's words, " (...)" after the error's own text; "" for none.
std::string describeLimit(const ParameterLimit& limit, const ParameterWords& words);

// Reading one text as the run reads it: a 16-bit whole number (rounded half to even; "Type
// mismatch", "Overflow") or a number ("Type mismatch"), failing as `parameter`.
int16_t readWhole(std::string_view text, TextureParameter parameter);
double readNumber(std::string_view text, TextureParameter parameter);
// A number given as a number (the Python package): rounded half to even to 16 bits ("Overflow"
// outside; "Type mismatch" for NaN and the infinities, as their texts read), failing as `parameter`.
int16_t wholeFrom(double value, TextureParameter parameter);

// Reads the texts in the order the run meets them, each checked where the run would fail on it:
// the region side as a 16-bit number, the square (corner + side), the tile side as a number, the
// grey grids' side, the tiles within the square, the neighbour distance as a number. So the first
// failing parameter fails with the error the run would raise for it, before anything is printed
// or written.
TextureParameters readParameters(const RunTexts& texts, int16_t cornerX, int16_t cornerY, Variant variant);

// The same checks on parameters already read (numbers given as numbers), in the same order.
void checkParameters(const TextureParameters& parameters);

}  // namespace texturemeter
