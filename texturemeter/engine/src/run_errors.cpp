// Run errors explained: the parameter limit behind an error, named after the tool's options.

#include <optional>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "texturemeter/run_driver.hpp"

namespace texturemeter {

namespace {

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
    switch (e.kind()) {
        case imaging::ErrorKind::SubscriptOutOfRange:
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
