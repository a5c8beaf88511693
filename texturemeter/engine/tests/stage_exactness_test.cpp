// The Hessian image and the grey-surface stage against plain transcriptions of their rules, on
// crafted second differences (every step of the grey level, both sides of it), generated grids
// and the bundled photographs, for sides up to 499 and every variant: every value bit for bit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "testdata/reference_data.hpp"
#include "texturemeter/stages.hpp"

namespace {

using namespace texturemeter;

// The Hessian image pixel by pixel through hessianGrey.
void plainHessianImage(const FloatGrid& g, int extentX, int extentY, int d, PictureSurface& p) {
    for (int y = d + 1; y <= extentY - d; ++y)
        for (int x = d + 1; x <= extentX - d; ++x) {
            const double centre = g(x, y);
            const float fxx = static_cast<float>(static_cast<double>(g(x + d, y)) - 2 * centre + static_cast<double>(g(x - d, y)));
            const float fyy = static_cast<float>(static_cast<double>(g(x, y + d)) - 2 * centre + static_cast<double>(g(x, y - d)));
            p.psetAt(x, y, imaging::greyColour(hessianGrey(fxx, fyy)));
        }
}

int differingPixels(const PictureSurface& a, const PictureSurface& b) {
    const imaging::Image ia = a.image(), ib = b.image();
    int n = 0;
    for (std::size_t i = 0; i < ia.pixels.size(); ++i) n += ia.pixels[i] != ib.pixels[i];
    return n;
}

float nextFloat(float f, int ulps) {
    while (ulps > 0) { f = std::nextafter(f, std::numeric_limits<float>::infinity()); --ulps; }
    while (ulps < 0) { f = std::nextafter(f, -std::numeric_limits<float>::infinity()); ++ulps; }
    return f;
}

// Pairs (fxx, fyy) on both sides of every change of the grey level along fxx for a few fyy,
// found by bisection on hessianGrey itself, plus random pairs over many magnitudes.
std::vector<std::pair<float, float>> probePairs() {
    std::vector<std::pair<float, float>> pairs;
    // With fyy fixed the ratio behind the level sweeps from -sqrt(5) through -infinity and
    // +infinity back to +sqrt(5) as fxx passes -fyy, so the changes crowd around fxx = -fyy.
    for (float fyy : {1.0f, -1.0f, 3.5f, -70.25f, 0.001f, 1234.5f}) {
        std::vector<float> xs;
        for (int side : {-1, 1})
            for (int i = 0; i <= 3000; ++i) xs.push_back(static_cast<float>(fyy * (-1 + side * std::pow(10.0, -8 + i * 0.004))));
        std::sort(xs.begin(), xs.end());
        for (std::size_t i = 1; i < xs.size(); ++i) {
            float a = xs[i - 1], b = xs[i];
            if (hessianGrey(a, fyy) == hessianGrey(b, fyy)) continue;
            for (int k = 0; k < 100; ++k) {
                const float mid = a + (b - a) / 2;
                if (mid <= a || mid >= b) break;
                (hessianGrey(mid, fyy) == hessianGrey(a, fyy) ? a : b) = mid;
            }
            for (int u = -3; u <= 3; ++u) pairs.emplace_back(nextFloat(b, u), fyy);
        }
    }
    imaging::FastRandom random(11);
    for (int i = 0; i < 20000; ++i) {
        const double scale = std::pow(10.0, 12 * random.next() - 6);
        pairs.emplace_back(static_cast<float>((2 * random.next() - 1) * scale),
                           static_cast<float>((2 * random.next() - 1) * scale));
    }
    for (float v : {0.0f, -0.0f, 1e-30f, -1e-30f, 3e38f, -3e38f})
        for (float w : {0.0f, -0.0f, 1.0f, -1.0f, 3e38f}) pairs.emplace_back(v, w);
    pairs.emplace_back(2.0f, -2.0f);  // t = 0
    pairs.emplace_back(std::numeric_limits<float>::infinity(), 1.0f);
    return pairs;
}

TEST(HessianExactness, EveryStepOfTheGreyLevelOnBothSides) {
    const auto pairs = probePairs();
    // |ratio| >= sqrt(2), so the levels 108..202 never occur; each fyy crosses the 2 x 31 others.
    ASSERT_GE(pairs.size(), 20000u + 6 * 62 * 7);
    // Probes three cells apart with distance 1: centre and the near neighbours 0, the far ones
    // fxx and fyy, so the second differences are exactly the pair.
    std::size_t next = 0;
    while (next < pairs.size()) {
        FloatGrid g = imaging::makeWorkGrid(0);
        for (int y = 2; y + 1 <= 499 && next < pairs.size(); y += 3)
            for (int x = 2; x + 1 <= 499 && next < pairs.size(); x += 3, ++next) {
                g(x + 1, y) = pairs[next].first;
                g(x, y + 1) = pairs[next].second;
            }
        PictureSurface fast(501, 501), plain(501, 501);
        hessianImage(g, 499, 499, 1, fast);
        plainHessianImage(g, 499, 499, 1, plain);
        ASSERT_EQ(differingPixels(fast, plain), 0) << "probes up to " << next;
    }
}

TEST(HessianExactness, GeneratedGridsAllDistances) {
    imaging::FastRandom random(5);
    for (int extent : {0, 1, 2, 7, 8, 60, 201, 499}) {
        FloatGrid g = imaging::makeWorkGrid(0);
        for (int y = 0; y <= extent + 1; ++y)
            for (int x = 0; x <= extent + 1; ++x)
                g(x, y) = static_cast<float>(std::floor(255 * random.next()) / 255 * extent);
        for (int d : {0, 1, 3, 5}) {
            PictureSurface fast(extent + 2, extent + 2), plain(extent + 2, extent + 2);
            hessianImage(g, extent, extent, d, fast);
            plainHessianImage(g, extent, extent, d, plain);
            EXPECT_EQ(differingPixels(fast, plain), 0) << "extent " << extent << " distance " << d;
            EXPECT_EQ(fast.revision(), plain.revision());
        }
    }
}

TEST(HessianExactness, PhotographsEverySideAndVariant) {
    const imaging::Image skin = imaging::loadImageFile(morph::testdata::samplePath("skin_sample.jpg"));
    imaging::Image noise(530, 530);
    imaging::FastRandom random(9);
    for (auto& c : noise.pixels)
        c = imaging::rgbColour(int(256 * random.next()), int(256 * random.next()), int(256 * random.next()));
    for (const imaging::Image* photo : {&skin, static_cast<const imaging::Image*>(&noise)}) {
        for (int side : {1, 3, 8, 57, 200, 333, 499}) {
            for (Variant v : {Variant::A, Variant::B, Variant::C}) {
                WorkGrids grids;
                PictureSurface mono(side + 1, side + 1);
                const RegionSquare square{7, 11, static_cast<int16_t>(side)};
                const GreyImageSums sums = prepareGreyImage(PhotoView(*photo), square, v, grids.gridA, grids.gridB, mono);
                PictureSurface fast(side + 1, side + 1), plain(side + 1, side + 1);
                hessianImage(grids.gridB, sums.extentX, sums.extentY, 3, fast);
                plainHessianImage(grids.gridB, sums.extentX, sums.extentY, 3, plain);
                EXPECT_EQ(differingPixels(fast, plain), 0) << "side " << side << " variant " << int(v);
            }
        }
    }
}

TEST(HessianExactness, GridTooSmallForTheExtentIsASubscriptError) {
    const FloatGrid g(20, 20);
    PictureSurface p(30, 30);
    EXPECT_THROW(hessianImage(g, 21, 10, 1, p), imaging::RunError);
    EXPECT_THROW(hessianImage(g, 10, 21, 1, p), imaging::RunError);
}

}  // namespace
