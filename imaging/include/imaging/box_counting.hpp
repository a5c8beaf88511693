#pragma once
// Box-counting dimension of the dark figure in a rectangular area of a picture.

#include <array>
#include <cstdint>

#include "imaging/loglog_fit.hpp"
#include "imaging/surface.hpp"

namespace imaging {

struct BoxCountingParameters {
    int width;                      // area x = 1..width
    int height;                     // area y = 1..height
    std::array<int16_t, 5> sides;   // box sides s1..s5
    int limitX;
    int limitY;
};

// "line fr dim" of the texture analyzer.
constexpr BoxCountingParameters kLineDimensionBoxes{200, 200, {1, 2, 5, 10, 20}, 184, 184};
// FRD1 of the lesion analyzer's outline picture.
constexpr BoxCountingParameters kViewBoxSides{300, 300, {3, 7, 10, 20, 30}, 284, 284};
// The lesion analyzer's profile strips.
constexpr BoxCountingParameters kStripBoxSides{300, 60, {1, 2, 5, 8, 15}, 284, 54};

struct BoxCountingResult {
    std::array<int16_t, 5> counts;  // N(s1)..N(s5) after raising empty counts to 1
    double dimension;
};

// -slope - 0.09 of ln N(s) against ln s, where N(s) counts the boxes (s + 1 pixels a side,
// corners from 3 in steps of s while <= limit - s) holding a grid value below 200, the grid value
// being Int(B + G + R) / 3 in single precision. Positions outside the picture read as white.
BoxCountingResult boxCounting(const PictureSurface& picture, const BoxCountingParameters& p);
inline double boxCountingDimension(const PictureSurface& picture, const BoxCountingParameters& p) {
    return boxCounting(picture, p).dimension;
}

// The fit behind a box-counting result: the points (ln s, ln N(s)) in table order, the same slope
// and the same dimension as boxCounting.
Fit boxCountingFit(const BoxCountingResult& result, const BoxCountingParameters& p);

}  // namespace imaging
