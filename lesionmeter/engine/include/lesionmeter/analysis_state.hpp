#pragma once
// The lesion analyzer's state outside the window's controls: the colour samples and their
// click positions, the reference centre, the analysed extent, the lesion map and the reloaded
// outline, and the linear colour weights of the last "Calc + Draw".

#include <array>
#include <cstdint>

#include "imaging/grid.hpp"

namespace lesionmeter {

// A class holds samples 1..50; index 0 is never written.
constexpr int kMaxSamplesPerClass = 50;

struct AnalysisState {
    // Samples taken since the class was last selected.
    int16_t inCount = 0;
    int16_t outCount = 0;
    // Channel values of sample n at index n.
    std::array<float, 51> inRed{}, inGreen{}, inBlue{};
    std::array<float, 51> outRed{}, outGreen{}, outBlue{};
    // Click positions in the photo of sample n at index n.
    std::array<float, 101> inX{}, inY{};
    std::array<float, 101> outX{}, outY{};
    // Reference centre chosen by a right click.
    float centreX = 0.0f;
    float centreY = 0.0f;
    // Last column and row of the analysed area; 0 means not yet set.
    float scanWidth = 0.0f;
    float scanHeight = 0.0f;
    // Class value per pixel (0 lesion, 255 background; 256 marks a cell unset since "File").
    imaging::FloatGrid greyMap = imaging::makeWorkGrid(0.0f);
    // Mean grey of the reloaded outline picture ("loadcal").
    imaging::FloatGrid outlineGrid = imaging::makeWorkGrid(0.0f);
    // Linear weights of the discriminant chosen by the last "Calc + Draw".
    float weightRed = 0.0f;
    float weightGreen = 0.0f;
    float weightBlue = 0.0f;

    // The reset of loading an image: counts, samples, positions, extents and weights become 0;
    // greyMap, outlineGrid and the reference centre stay.
    void resetForNewImage();
};

// The six weights of a quadratic colour discriminant
// S = wR R + wG G + wB B + qR R^2 + qG G^2 + qB B^2, held in single precision.
struct Discriminant {
    float weightRed = 0.0f;
    float weightGreen = 0.0f;
    float weightBlue = 0.0f;
    float squareWeightRed = 0.0f;
    float squareWeightGreen = 0.0f;
    float squareWeightBlue = 0.0f;
};

}  // namespace lesionmeter
