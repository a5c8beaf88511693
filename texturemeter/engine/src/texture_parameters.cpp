// Reading a run's parameters once, checking them where the run would fail on them, and the limit
// behind a failure.

#include "texturemeter/texture_parameters.hpp"

#include <cmath>
#include <functional>

#include "imaging/grid.hpp"
#include "imaging/numeric.hpp"

namespace texturemeter {

namespace {

// Whether a side and a tile side pass the checks a run makes before its first pixel.
bool layoutFits(int16_t side, double tileSide) {
    try {
        checkGreyGridSide(side);
        checkTileLayout(side, tileSide);
        return true;
    } catch (const imaging::RunError&) {
        return false;
    }
}

// The limit of a side/tile-side pair beyond the work grids (None when the pair fits).
ParameterLimit pairLimit(int16_t side, double tileSide) {
    ParameterLimit limit{ParameterRule::None, side, tileSide, 0};
    if (side <= 0 || layoutFits(side, tileSide)) return limit;
    if (tileSide < 20) {
        limit.rule = ParameterRule::PairTileSideBelow20;
    } else if (side > imaging::kGridMax - 1) {
        limit.rule = ParameterRule::PairSideAbove499;
    } else {
        limit.rule = ParameterRule::PairTilesBeyondGrids;
        int16_t fitting = side;
        while (fitting > 0 && !layoutFits(fitting, tileSide)) --fitting;
        limit.fittingSide = fitting;
    }
    return limit;
}

// Runs `check`, turning its error into a ParameterError of `parameter` (or of the tile side when
// the limit behind it is the tile side's own).
void failAs(TextureParameter parameter, std::optional<int16_t> side, std::optional<double> tileSide, Variant variant,
            const std::function<void()>& check) {
    try {
        check();
    } catch (const ParameterError&) {
        throw;
    } catch (const imaging::RunError& e) {
        const ParameterLimit limit = limitBehind(e.kind(), side, tileSide, variant);
        const bool tileOwn =
            limit.rule == ParameterRule::TileSideAtLeast20 || limit.rule == ParameterRule::PairTileSideBelow20;
        throw ParameterError(e, tileOwn ? TextureParameter::TileSide : parameter, limit);
    }
}

// The checks of the square alone: corner + side within 16 bits, the side within the work grids.
void checkSquare(const TextureParameters& p, std::optional<double> tileSide) {
    failAs(TextureParameter::RegionSide, p.region.regionSide, tileSide, p.variant,
           [&] { checkRegionSquare(p.region); });
}

// The checks of the tiles: the grey grids' side, the tiles within the square.
void checkTiles(const TextureParameters& p) {
    failAs(TextureParameter::RegionSide, p.region.regionSide, p.tileSide, p.variant, [&] {
        checkGreyGridSide(p.region.regionSide);
        checkTileLayout(p.region.regionSide, p.tileSide);
    });
}

}  // namespace

ParameterLimit limitBehind(imaging::ErrorKind kind, std::optional<int16_t> side, std::optional<double> tileSide,
                           Variant variant) {
    ParameterLimit limit;
    limit.side = side.value_or(0);
    limit.tileSide = tileSide.value_or(0);
    const auto pair = [&]() -> ParameterLimit {
        if (side && tileSide) return pairLimit(*side, *tileSide);
        return limit;
    };
    const auto with = [&](ParameterRule rule) {
        limit.rule = rule;
        return limit;
    };
    switch (kind) {
        case imaging::ErrorKind::SubscriptOutOfRange:
            if (const ParameterLimit p = pair(); p.rule != ParameterRule::None) return p;
            if (side && *side > 499) return with(ParameterRule::SideAtMost499);
            if (side && *side < 121) return with(ParameterRule::SideAtLeast121);
            if (tileSide && *tileSide < 20) return with(ParameterRule::TileSideAtLeast20);
            return with(ParameterRule::SquareWithinGrids);
        case imaging::ErrorKind::DivisionByZero:
            if (side && *side == 0) return with(ParameterRule::SideNotZero);
            if (variant == Variant::C) return with(ParameterRule::UniformSquare);
            return limit;
        case imaging::ErrorKind::InvalidArgument:
            if (const ParameterLimit p = pair(); p.rule != ParameterRule::None) return p;
            if (tileSide && *tileSide < 20) return with(ParameterRule::TileSideAtLeast20);
            return limit;
        default: return limit;
    }
}

std::string describeLimit(const ParameterLimit& limit, const ParameterWords& words) {
    const std::string& side = words.regionSide;
    const std::string& tile = words.tileSide;
    const std::string tileValue = imaging::numberText(limit.tileSide);
    const std::string pair = side + words.assign + std::to_string(limit.side) + " with " + tile + words.assign + tileValue;
    switch (limit.rule) {
        case ParameterRule::None: return "";
        case ParameterRule::PairTileSideBelow20:
            return " (" + pair + ": " + tile + " must be at least 20, the largest box side)";
        case ParameterRule::PairSideAbove499: return " (" + pair + ": " + side + " must be at most 499)";
        case ParameterRule::PairTilesBeyondGrids: {
            std::string why = ": the tiles start every " + tileValue + " pixels below the side and each reaches " +
                              tileValue + " further, past the 0..500 work grids (or they are more than 500)";
            if (limit.fittingSide > 0)
                why += "; with " + tile + words.assign + tileValue + " use " + side + words.assign +
                       std::to_string(limit.fittingSide) + " or less";
            return " (" + pair + why + ")";
        }
        case ParameterRule::SideAtMost499: return " (" + side + " must be at most 499)";
        case ParameterRule::SideAtLeast121:
            return " (the sampling line's rings reach 60.5 pixels from the middle of the square, so " + side +
                   " must be at least 121)";
        case ParameterRule::TileSideAtLeast20: return " (" + tile + " must be at least 20)";
        case ParameterRule::SquareWithinGrids: return " (the square and its tiles must stay within the 0..500 work grids)";
        case ParameterRule::SideNotZero: return " (" + side + " must not be 0)";
        case ParameterRule::UniformSquare: return " (Start (C) normalization needs a square of more than one grey level)";
    }
    return "";
}

int16_t readWhole(std::string_view text, TextureParameter parameter) {
    try {
        return imaging::parseInt16(text);
    } catch (const imaging::RunError& e) {
        throw ParameterError(e, parameter);
    }
}

double readNumber(std::string_view text, TextureParameter parameter) {
    try {
        return imaging::parseNumber(text);
    } catch (const imaging::RunError& e) {
        throw ParameterError(e, parameter);
    }
}

int16_t wholeFrom(double value, TextureParameter parameter) {
    // As the texts "nan", "inf" and "-inf" read: no number.
    if (std::isnan(value)) throw ParameterError(imaging::RunError::typeMismatch("nan"), parameter);
    if (std::isinf(value)) throw ParameterError(imaging::RunError::typeMismatch(value > 0 ? "inf" : "-inf"), parameter);
    const double rounded = imaging::roundHalfEven(value);
    if (!(rounded >= -32768 && rounded <= 32767)) throw ParameterError(imaging::RunError::overflow(), parameter);
    return static_cast<int16_t>(rounded);
}

TextureParameters readParameters(const RunTexts& texts, int16_t cornerX, int16_t cornerY, Variant variant) {
    TextureParameters p;
    p.variant = variant;
    p.resultsName = texts.resultsName;
    p.region = {cornerX, cornerY, readWhole(texts.regionSide, TextureParameter::RegionSide)};
    // A square that fails names the tile side's limit too when the tile side can be read.
    std::optional<double> tileSide;
    try {
        tileSide = imaging::parseNumber(texts.tileSide);
    } catch (const imaging::RunError&) {
    }
    checkSquare(p, tileSide);
    p.tileSide = readNumber(texts.tileSide, TextureParameter::TileSide);
    checkTiles(p);
    p.neighbourDistance = readNumber(texts.neighbourDistance, TextureParameter::NeighbourDistance);
    return p;
}

void checkParameters(const TextureParameters& parameters) {
    checkSquare(parameters, parameters.tileSide);
    checkTiles(parameters);
}

}  // namespace texturemeter
