#pragma once
// The numbers a lesion analysis measures, each under the name of what it measures.

#include <optional>

#include "lesionmeter/analysis_state.hpp"

namespace lesionmeter {

// The mean colours of the IN and OUT samples that took part in a "Calc + Draw" (the first
// min(IN, OUT) of each class, at most 6), summed and divided in single precision.
struct SampleMeans {
    float inRed = 0.0f, inGreen = 0.0f, inBlue = 0.0f;
    float outRed = 0.0f, outGreen = 0.0f, outBlue = 0.0f;
};

// Box-counting dimensions of the four luminance profile strips. "Calc + Draw" plots rows 140
// (upper) and 170 (lower) and columns 140 (left) and 170 (right) of the photograph into them; a
// right click afterwards replaces them with the row and column through the click and the ones
// 30 pixels below and right of it.
struct ProfileDimensions {
    double upperRow = 0.0;
    double lowerRow = 0.0;
    double leftColumn = 0.0;
    double rightColumn = 0.0;
};

// The results of "Fractal calc".
struct FractalResults {
    double outlineDimension = 0.0;   // FRD1: box-counting dimension of the outline
    ProfileDimensions profiles;
    double profileDimension = 0.0;   // FRD2: the mean of the four profile dimensions
};

// The results of "axis": the centroid of the outline's dark pixels and the ends of its longest
// and shortest radius.
struct AxisResults {
    long long darkPixels = 0;
    double centroidX = 0.0;
    double centroidY = 0.0;
    int farthestX = 0, farthestY = 0;   // end of the long radius
    int nearestX = 0, nearestY = 0;     // end of the short radius
};

// Everything one lesion analysis measured; a step not reached (or, for "axis", one that found
// no dark pixel) has no value.
struct LesionMeasurements {
    std::optional<Discriminant> weights;   // chosen by "Calc + Draw"
    std::optional<SampleMeans> means;      // of the samples that took part in the search
    std::optional<FractalResults> fractal; // "Fractal calc"
    std::optional<AxisResults> axis;       // "axis"
};

}  // namespace lesionmeter
