// Colour-tone deviation: the standard deviation of the scaled grey level of the monochrome image
// and the spread of its five-bin grey-level histogram.

#include <cmath>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

ColourToneResult colourToneStatistics(const PictureSurface& monochromeImage, int16_t regionSide, FloatGrid& gridA,
                                      FloatGrid& gridB) {
    ColourToneResult r;
    // Sampling as the height-field load, with the unscaled grey into gridB and the heights summed.
    const int16_t end = imaging::add16(regionSide, 1);
    if (end > imaging::kGridMax) throw imaging::RunError::subscriptOutOfRange();
    const double side = regionSide;
    double heightSum = 0;
    int ix = -1, iy = -1;
    for (int y = 0; y <= end; ++y) {
        ++iy;
        ix = -1;
        for (int x = 0; x <= end; ++x) {
            ++ix;
            ++r.load.pointCount;
            const double g = imaging::greyOf(monochromeImage.pointAt(x, y));
            const double h = g / 255 * side;
            gridA.cell(ix, iy) = static_cast<float>(h);
            gridB.cell(ix, iy) = static_cast<float>(g);
            heightSum += h;
        }
    }
    r.load.extentX = ix - 1;
    r.load.extentY = iy - 1;
    if (r.load.pointCount == 0) throw imaging::RunError::divisionByZero();
    const double mean = heightSum / static_cast<double>(r.load.pointCount);

    // Deviation and histogram over the regionSide x regionSide cells from (0, 0).
    double ss = 0;
    long long m = 0;
    float bins[11] = {};
    for (int y = 0; y <= regionSide - 1; ++y) {
        for (int x = 0; x <= regionSide - 1; ++x) {
            const double d = static_cast<double>(gridA.cell(x, y)) - mean;
            ss += d * d;
            ++m;
            const float g = gridB.cell(x, y);
            if (g >= 0 && g < 50) bins[1] += 1;
            else if (g >= 50 && g < 100) bins[2] += 1;
            else if (g >= 100 && g < 150) bins[3] += 1;
            else if (g >= 150 && g < 200) bins[4] += 1;
            else if (g >= 200 && g < 256) bins[5] += 1;
        }
    }
    if (m == 0) throw imaging::RunError::divisionByZero();
    r.tone.deviation = std::sqrt(ss / static_cast<double>(m));
    const float c = (bins[1] + bins[2] + bins[3] + bins[4] + bins[5]) / 5.0f;
    float spread = 0.0f;
    for (int k = 1; k <= 5; ++k) spread += (c - bins[k]) * (c - bins[k]);
    r.tone.histogramSpread = spread / 5.0f;
    return r;
}

}  // namespace texturemeter
