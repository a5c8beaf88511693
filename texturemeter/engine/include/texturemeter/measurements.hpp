#pragma once
// The numbers a texture analysis measures, each under the name of what it measures. Values the
// analysis keeps in single precision are `float`, the others `double`; the results file
// (results_file.hpp) is the one place that knows in which column each of them is written.

#include <array>
#include <optional>

namespace texturemeter {

// The surface-area fractal dimension of one image, measured tile by tile.
struct TiledDimension {
    float meanDimension = 0;     // mean over the tiles ("FR-AVE")
    double dimensionSd = 0;      // population standard deviation over the tiles
    double sdToMean = 0;         // dimensionSd / meanDimension
    // Not in the results file; what a reader needs to compare dimensions:
    // population standard deviation of the grey-level heights the dimension reads (cells
    // 0..side + 1 in both directions), in the units of the heights (grey / 255 x side). The
    // dimension depends on it, so dimensions compare only at comparable heightSd.
    double heightSd = 0;
    // Sampling interval of the tile mean: mean +- t(0.975, n - 1) x s / sqrt(n) over the n tile
    // dimensions (s their sample standard deviation, all in double precision); none for one tile.
    std::optional<std::array<double, 2>> meanDimensionCi95;
};

// Grey-tone statistics of the monochrome image.
struct ToneStatistics {
    double deviation = 0;        // population standard deviation of the scaled grey level
    float histogramSpread = 0;   // mean squared deviation of the five grey-level bin counts
};

// The random probes of the grey height field (heights h = grey / 255 x side; darkness
// (256 - h) / 256, brightness h / 256).
struct TextureSampling {
    double meanBrightness = 0;   // mean brightness of the whole square
    // Share of 200 random square frames of half side r (2, 4, ..., 10) that are dark around a
    // bright inside.
    float darkFrameShareR2 = 0;
    float darkFrameShareR4 = 0;
    float darkFrameShareR6 = 0;
    float darkFrameShareR8 = 0;
    float darkFrameShareR10 = 0;
    // Share of 200 random straight lines (39 points) through a dark centre with more than 3 dark
    // points.
    double darkLineShare = 0;
    // Darkness summed over random 21 x 21 boxes: its mean and population standard deviation.
    double boxDarknessMean = 0;
    double boxDarknessSd = 0;
    // Brightness summed over 50 jittered points of a ring around the middle of the square,
    // averaged over three neighbouring radii.
    double ringBrightnessR5to11 = 0;
    double ringBrightnessR23to29 = 0;
    double ringBrightnessR41to47 = 0;
};

// Everything one analysis of a square measures.
struct TextureMeasurements {
    TiledDimension monochrome;       // of the monochrome (grey) image
    TiledDimension hessian;          // of the Hessian (curvature) image
    double totalDimension = 0;       // the monochrome image over one window at the square's corner
    double lineShare = 0;            // share of pixels on long straight dark runs (line figure)
    double dotShare = 0;             // share of pixels marked as dots (dot figure)
    double outlineDimension = 0;     // box-counting dimension of the bright-region outline
    ToneStatistics tone;
    TextureSampling sampling;
};

}  // namespace texturemeter
