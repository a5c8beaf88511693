// Run errors explained: the parameter limit behind an error, named after the tool's options.

#include <optional>
#include <string>

#include "imaging/errors.hpp"
#include "imaging/grid.hpp"
#include "imaging/numeric.hpp"
#include "texturemeter/run_driver.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

namespace {

// Whether a side and a tile side pass the checks a run makes before its first pixel.
bool layoutFits(int16_t side, double window) {
    try {
        checkGreyGridSide(side);
        checkTileLayout(side, window);
        return true;
    } catch (const imaging::RunError&) {
        return false;
    }
}

// The hint that names a --side/--window pair beyond the work grids, or "" when the pair fits
// (or is not a pair of numbers).
std::string tileLayoutHint(const std::string& sideText, const std::string& windowText) {
    int16_t side = 0;
    double window = 0;
    try {
        side = imaging::parseInt16(sideText);
        window = imaging::parseNumber(windowText);
    } catch (const imaging::RunError&) {
        return "";
    }
    if (side <= 0 || layoutFits(side, window)) return "";
    const std::string pair = "--side " + std::to_string(side) + " with --window " + imaging::numberText(window);
    if (window < 20) return " (" + pair + ": --window must be at least 20, the largest box side)";
    if (side > imaging::kGridMax - 1) return " (" + pair + ": --side must be at most 499)";
    // The largest side below this one that fits with this tile side.
    int16_t fitting = side;
    while (fitting > 0 && !layoutFits(fitting, window)) --fitting;
    std::string why = ": the tiles start every " + imaging::numberText(window) +
                      " pixels below the side and each reaches " + imaging::numberText(window) +
                      " further, past the 0..500 work grids (or they are more than 500)";
    if (fitting > 0)
        why += "; with --window " + imaging::numberText(window) + " use --side " + std::to_string(fitting) + " or less";
    return " (" + pair + why + ")";
}

// A hint on top of the error's own message for the limits a parameter can break.
std::string hintFor(const imaging::RunError& e, const RunTexts& texts, Variant variant) {
    auto number = [](const std::string& text) -> std::optional<double> {
        try {
            return imaging::parseNumber(text);
        } catch (const imaging::RunError&) {
            return std::nullopt;
        }
    };
    const auto side = number(texts.regionSide);
    const auto window = number(texts.tileSide);
    const std::string layout = tileLayoutHint(texts.regionSide, texts.tileSide);
    switch (e.kind()) {
        case imaging::ErrorKind::SubscriptOutOfRange:
            if (!layout.empty()) return layout;
            if (side && *side > 499) return " (--side must be at most 499)";
            if (side && *side < 121)
                return " (the sampling line's rings reach 60.5 pixels from the middle of the square, "
                       "so --side must be at least 121)";
            if (window && *window < 20) return " (--window must be at least 20)";
            return " (the square and its tiles must stay within the 0..500 work grids)";
        case imaging::ErrorKind::DivisionByZero:
            if (side && imaging::roundHalfEven(*side) == 0) return " (--side must not be 0)";  // rounded as "Sampling width" is
            if (variant == Variant::C) return " (Start (C) normalization needs a square of more than one grey level)";
            return "";
        case imaging::ErrorKind::InvalidArgument:
            if (!layout.empty()) return layout;
            if (window && *window < 20) return " (--window must be at least 20)";
            return "";
        default: return "";
    }
}

}  // namespace

std::string runErrorMessage(const imaging::RunError& error, const RunTexts& texts, Variant variant) {
    return error.what() + hintFor(error, texts, variant);
}

}  // namespace texturemeter
