// Colour-tone deviation: the standard deviation of the scaled grey level of the monochrome image
// and the spread of its five-bin grey-level histogram.

#include <algorithm>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    const auto countCell = [&](float g) {
        atLeast[0] += g >= 0;
        atLeast[1] += g >= 50;
        atLeast[2] += g >= 100;
        atLeast[3] += g >= 150;
        atLeast[4] += g >= 200;
        atLeast[5] += g >= 256;
    };
#if defined(__SSE2__)
    // Four cells at a time: each comparison is all ones (-1) where it holds, false for NaN.
    const __m128 edges[6] = {_mm_set1_ps(0), _mm_set1_ps(50), _mm_set1_ps(100), _mm_set1_ps(150), _mm_set1_ps(200),
                             _mm_set1_ps(256)};
    __m128i lanes[6];
    for (__m128i& l : lanes) l = _mm_setzero_si128();
#endif
    for (int y = 0; y <= regionSide - 1; ++y) {
        const float* const rowA = &gridA.cell(0, y);
        const float* const rowB = &gridB.cell(0, y);
        int x = 0;
#if defined(__SSE2__)
        for (; x + 4 <= regionSide; x += 4) {
            for (int i = 0; i < 4; ++i) {
                const double d = static_cast<double>(rowA[x + i]) - mean;
                ss += d * d;
            }
            const __m128 g = _mm_loadu_ps(rowB + x);
            for (int k = 0; k < 6; ++k) lanes[k] = _mm_sub_epi32(lanes[k], _mm_castps_si128(_mm_cmpge_ps(g, edges[k])));
        }
#endif
        for (; x <= regionSide - 1; ++x) {
            const double d = static_cast<double>(rowA[x]) - mean;
            ss += d * d;
            countCell(rowB[x]);
        }
    }
#if defined(__SSE2__)
    for (int k = 0; k < 6; ++k) {
        alignas(16) std::int32_t v[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(v), lanes[k]);
        atLeast[k] += static_cast<long long>(v[0]) + v[1] + v[2] + v[3];
    }
#endif
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
