// Colour-tone deviation: the standard deviation of the scaled grey level of the monochrome image
// and the spread of its five-bin grey-level histogram.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/vector_lanes.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

namespace lanes = imaging::lanes;

namespace {

// The histogram's bin edges: 0, 50, 100, 150, 200 and 256.
constexpr float kEdges[6] = {0, 50, 100, 150, 200, 256};

// Adds to ss the squared deviations from `mean` of the heights rowA[x .. side - 1], and to
// atLeast[k] the count of grey levels rowB[x .. side - 1] at or above edge k. N cells per step (1 on
// the scalar path, 4 on sse2, 8 on avx2), the last few one at a time: the squares are added one
// cell after another, as cell by cell; each comparison is all ones (-1) where it holds, false for
// NaN.
template <int N>
[[gnu::always_inline]] inline void toneRow(const float* rowA, const float* rowB, int x, int side, double mean,
                                           double& ss, long long (&atLeast)[6]) {
    using F = typename lanes::Words<N>::F;
    using I = typename lanes::Words<N>::I;
    I counts[6] = {};
    for (; x + N <= side; x += N) {
        for (int i = 0; i < N; ++i) {
            const double d = static_cast<double>(rowA[x + i]) - mean;
            ss += d * d;
        }
        F g;
        lanes::load(g, rowB + x);
        for (int k = 0; k < 6; ++k) counts[k] -= g >= kEdges[k];
    }
    for (int k = 0; k < 6; ++k)
        for (int i = 0; i < N; ++i) atLeast[k] += counts[k][i];
    if constexpr (N > 1) toneRow<1>(rowA, rowB, x, side, mean, ss, atLeast);
}

}  // namespace

ColourToneResult colourToneStatistics(const PictureSurface& monochromeImage, int16_t regionSide, FloatGrid& gridA,
                                      FloatGrid& gridB) {
    ColourToneResult r;
    // Sampling as the height-field load, with the unscaled grey into gridB and the heights summed.
    const int16_t end = imaging::add16(regionSide, 1);
    if (end > imaging::kGridMax) throw imaging::RunError::subscriptOutOfRange();
    const double side = regionSide;
    // The monochrome image is grey: the grey level and height of the 256 grey colours are worked
    // out once, any other colour on its own. Only a colour's low 24 bits carry its channels (the
    // outside, -1, reads white like 0xFFFFFF).
    double greys[256], heights[256];
    for (int v = 0; v < 256; ++v) {
        greys[v] = imaging::greyOf(imaging::greyColour(v));
        heights[v] = greys[v] / 255 * side;
    }
    double heightSum = 0;
    for (int y = 0; y <= end; ++y) {
        float* const rowA = &gridA.cell(0, y);
        float* const rowB = &gridB.cell(0, y);
        // The pixels inside the picture straight from its row; the others read as outside.
        const imaging::Colour* const pixels = monochromeImage.rowPixels(y);
        const int inside = pixels ? std::min(end + 1, monochromeImage.width()) : 0;
        for (int x = 0; x <= end; ++x) {
            const imaging::Colour c = x < inside ? pixels[x] : monochromeImage.pointAt(x, y);
            const std::uint32_t rgb = static_cast<std::uint32_t>(c) & 0xFFFFFFu;
            const std::uint32_t v = rgb & 0xFFu;
            double g, h;
            if (rgb == v * 0x010101u) {
                g = greys[v];
                h = heights[v];
            } else {
                g = imaging::greyOf(c);
                h = g / 255 * side;
            }
            rowA[x] = static_cast<float>(h);
            rowB[x] = static_cast<float>(g);
            heightSum += h;
        }
    }
    const int last = end >= 0 ? end : -1;  // the last cell index written, -1 for none
    r.load.pointCount = static_cast<long long>(last + 1) * (last + 1);
    r.load.extentX = last - 1;
    r.load.extentY = last - 1;
    if (r.load.pointCount == 0) throw imaging::RunError::divisionByZero();
    const double mean = heightSum / static_cast<double>(r.load.pointCount);

    // Deviation and histogram over the regionSide x regionSide cells from (0, 0). The histogram
    // counts the grey levels at or above each bin's lower edge (0, 50, 100, 150, 200) and at or
    // above 256; a bin holds the difference of two neighbouring counts. Whole-number counts give
    // the bins exactly (single precision counts ones exactly this far); NaN is in no bin.
    double ss = 0;
    long long atLeast[6] = {};
    lanes::dispatch([&](auto path) {
        for (int y = 0; y <= regionSide - 1; ++y)
            toneRow<decltype(path)::kWords>(&gridA.cell(0, y), &gridB.cell(0, y), 0, regionSide, mean, ss, atLeast);
    });
    const long long m = regionSide > 0 ? static_cast<long long>(regionSide) * regionSide : 0;
    if (m == 0) throw imaging::RunError::divisionByZero();
    r.tone.deviation = std::sqrt(ss / static_cast<double>(m));
    float bins[6];
    for (int k = 1; k <= 5; ++k) bins[k] = static_cast<float>(atLeast[k - 1] - atLeast[k]);
    const float c = (bins[1] + bins[2] + bins[3] + bins[4] + bins[5]) / 5.0f;
    float spread = 0.0f;
    for (int k = 1; k <= 5; ++k) spread += (c - bins[k]) * (c - bins[k]);
    r.tone.histogramSpread = spread / 5.0f;
    return r;
}

}  // namespace texturemeter
