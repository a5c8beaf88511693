// The Hessian image and the grey-surface stage against plain transcriptions of their rules, on
// crafted second differences (every step of the grey level, both sides of it), generated grids
// and the bundled photographs, for sides up to 499 and every variant: every value bit for bit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <limits>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/vector_paths.hpp"
#include "texturemeter/stages.hpp"

namespace {

// The area of one box of side s over the heights z1 (corner) .. z4, term by term as the rule has it.
double plainBoxArea(double z1, double z2, double z3, double z4, double s) {
    const double ss = s * s;
    const double a2 = 0 + ss + (z1 - z3) * (z1 - z3);
    const double b2 = ss + 0 + (z1 - z2) * (z1 - z2);
    const double c2 = ss + ss + (z2 - z3) * (z2 - z3);
    const double d2 = ss + 0 + (z4 - z3) * (z4 - z3);
    const double e2 = 0 + ss + (z4 - z2) * (z4 - z2);
    const double f1 = b2 - a2 + c2;
    const double f2 = e2 - d2 + c2;
    return std::sqrt(4 * c2 * b2 - f1 * f1) / 4 + std::sqrt(4 * c2 * e2 - f2 * f2) / 4;
}

using namespace texturemeter;

using morph::testdata::onEveryVectorPath;

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
        PictureSurface plain(501, 501);
        plainHessianImage(g, 499, 499, 1, plain);
        onEveryVectorPath([&] {
            PictureSurface fast(501, 501);
            hessianImage(g, 499, 499, 1, fast);
            EXPECT_EQ(differingPixels(fast, plain), 0) << "probes up to " << next;
        });
        ASSERT_FALSE(HasFailure());
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
            PictureSurface plain(extent + 2, extent + 2);
            plainHessianImage(g, extent, extent, d, plain);
            onEveryVectorPath([&] {
                PictureSurface fast(extent + 2, extent + 2);
                hessianImage(g, extent, extent, d, fast);
                EXPECT_EQ(differingPixels(fast, plain), 0) << "extent " << extent << " distance " << d;
                EXPECT_EQ(fast.revision(), plain.revision());
            });
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
                PictureSurface plain(side + 1, side + 1);
                plainHessianImage(grids.gridB, sums.extentX, sums.extentY, 3, plain);
                onEveryVectorPath([&] {
                    PictureSurface fast(side + 1, side + 1);
                    hessianImage(grids.gridB, sums.extentX, sums.extentY, 3, fast);
                    EXPECT_EQ(differingPixels(fast, plain), 0) << "side " << side << " variant " << int(v);
                });
            }
        }
    }
}

// Every row length modulo the vector widths, and cells that are infinite or not a number (the
// level of such a pixel is worked out in full, and an error stops the image at the same pixel).
TEST(HessianExactness, RowLengthsAndNonFiniteCells) {
    imaging::FastRandom random(17);
    const float inf = std::numeric_limits<float>::infinity();
    for (int extent = 2; extent <= 16; ++extent) {
        for (float odd : {inf, -inf, std::numeric_limits<float>::quiet_NaN(), 3e38f}) {
            FloatGrid g = imaging::makeWorkGrid(0);
            for (int y = 0; y <= extent + 1; ++y)
                for (int x = 0; x <= extent + 1; ++x) g(x, y) = static_cast<float>(200 * random.next());
            g(extent / 2 + 1, extent / 2) = odd;
            const auto run = [&](auto draw, PictureSurface& p) {
                try {
                    draw(g, extent, extent, 1, p);
                } catch (const imaging::RunError& e) {
                    return std::string(e.what());
                }
                return std::string("no error");
            };
            PictureSurface plain(extent + 2, extent + 2);
            const std::string plainOutcome = run(plainHessianImage, plain);
            onEveryVectorPath([&] {
                PictureSurface fast(extent + 2, extent + 2);
                EXPECT_EQ(run(hessianImage, fast), plainOutcome) << "extent " << extent << " cell " << odd;
                EXPECT_EQ(differingPixels(fast, plain), 0) << "extent " << extent << " cell " << odd;
                EXPECT_EQ(fast.revision(), plain.revision()) << "extent " << extent << " cell " << odd;
            });
        }
    }
}

TEST(HessianExactness, GridTooSmallForTheExtentIsASubscriptError) {
    const FloatGrid g(20, 20);
    PictureSurface p(30, 30);
    EXPECT_THROW(hessianImage(g, 21, 10, 1, p), imaging::RunError);
    EXPECT_THROW(hessianImage(g, 10, 21, 1, p), imaging::RunError);
}

// ---- Grey surface ----

// The grey-level heights cell by cell through pointAt and greyOf.
GridLoad plainLoad(const PictureSurface& source, int16_t regionSide, FloatGrid& a, FloatGrid& b) {
    GridLoad load;
    const int end = regionSide + 1;
    for (int y = 0; y <= end; ++y)
        for (int x = 0; x <= end; ++x) {
            ++load.pointCount;
            const float h = static_cast<float>(imaging::greyOf(source.pointAt(x, y)) / 255 * double(regionSide));
            a(x, y) = h;
            b(x, y) = h;
        }
    load.extentX = end - 1;
    load.extentY = end - 1;
    return load;
}

// A window's dimension box by box in the counting order (x outer, y inner), every corner read
// through the checked accessor.
double plainWindowDimension(const FloatGrid& g, double X, double Y, double windowSize, float* areas) {
    const int sizes[6] = {1, 2, 4, 5, 10, 20};
    double lx[6], ly[6];
    for (int k = 0; k < 6; ++k) {
        const int s = sizes[k];
        double total = 0;
        for (double vx = X; vx <= X + windowSize - s; vx += s)
            for (double vy = Y; vy <= Y + windowSize - s; vy += s) {
                const int x0 = imaging::roundToInt(vx), x1 = imaging::roundToInt(vx + s);
                const int y0 = imaging::roundToInt(vy), y1 = imaging::roundToInt(vy + s);
                total += plainBoxArea(g(x0, y0), g(x1, y0), g(x0, y1), g(x1, y1), double(s));
            }
        areas[k] = static_cast<float>(total);
        lx[k] = std::log(double(s));
        ly[k] = imaging::checkedLog(double(areas[k]));
    }
    return 2 - imaging::leastSquaresSlope(lx, ly, 6);
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every tile of the window size over the extent, and the whole window at the origin.
void expectSameWindows(const FloatGrid& g, int extent, double window, const std::string& what) {
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    float plainAreas[6];
    int tiles = 0, failed = 0;
    for (double X = 0; X <= extent - 1; X += window)
        for (double Y = 0; Y <= extent - 1; Y += window, ++tiles) {
            double fast = 0;
            try {
                fast = surfaceAreaDimension(g, X, Y, window, sizes, areas);
            } catch (const imaging::RunError& e) {
                // A tile reaching past the grid fails the same way box by box.
                EXPECT_STREQ(e.what(), "Subscript out of range");
                EXPECT_THROW(plainWindowDimension(g, X, Y, window, plainAreas), imaging::RunError) << what;
                ++failed;
                continue;
            }
            const double plain = plainWindowDimension(g, X, Y, window, plainAreas);
            ASSERT_TRUE(sameBits(fast, plain)) << what << " tile " << X << "," << Y << ": " << fast << " vs " << plain;
            for (int k = 0; k < 6; ++k) ASSERT_EQ(areas[k + 1], plainAreas[k]) << what << " size " << sizes[k + 1];
        }
    EXPECT_GT(tiles, failed);
    const double whole = wholeWindowDimension(g, window, sizes);
    EXPECT_TRUE(sameBits(whole, plainWindowDimension(g, 0, 0, window, plainAreas))) << what;
}

TEST(GreySurfaceExactness, WindowsOnGeneratedSurfaces) {
    imaging::FastRandom random(21);
    FloatGrid rough = imaging::makeWorkGrid(0), smooth = imaging::makeWorkGrid(0);
    for (int y = 0; y <= 500; ++y)
        for (int x = 0; x <= 500; ++x) {
            rough(x, y) = static_cast<float>(499 * random.next());
            smooth(x, y) = static_cast<float>(100 + 60 * std::sin(x * 0.05) * std::cos(y * 0.031));
        }
    // Odd and fractional windows put box corners between cells (rounded half to even).
    onEveryVectorPath([&] {
        for (double window : {20.0, 21.0, 25.0, 33.0, 40.0, 40.5, 62.5, 100.0, 499.0}) {
            expectSameWindows(rough, 499, window, "rough " + std::to_string(window));
            expectSameWindows(smooth, 200, window, "smooth " + std::to_string(window));
        }
        // Windows from every whole and half-cell origin, so rows of 1..4 boxes and corners one
        // cell apart or not come at every position of the vectors.
        BoxSizes sizes{};
        std::array<float, 201> areas{};
        float plainAreas[6];
        for (double X = 0; X <= 6; X += 0.5)
            for (double window : {20.0, 21.0, 22.0, 23.0, 24.5}) {
                const double fast = surfaceAreaDimension(rough, X, 3 - X / 2, window, sizes, areas);
                const double plain = plainWindowDimension(rough, X, 3 - X / 2, window, plainAreas);
                EXPECT_TRUE(sameBits(fast, plain)) << "origin " << X << " window " << window;
                for (int k = 0; k < 6; ++k) EXPECT_EQ(areas[k + 1], plainAreas[k]) << "origin " << X << " window " << window;
            }
    });
    // A box whose far corner leaves the grid is still a subscript error.
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    EXPECT_THROW(surfaceAreaDimension(rough, 470, 0, 40, sizes, areas), imaging::RunError);
    EXPECT_THROW(surfaceAreaDimension(rough, 0, 481, 40, sizes, areas), imaging::RunError);
}

// Rows of boxes alone, each area in double against the box-by-box rule: heights from flat to
// far apart (up to single precision's largest), corners adjacent, strided or scattered, and
// every row length up to a few vectors.
TEST(GreySurfaceExactness, RowsOfBoxesEveryAreaBitForBit) {
    imaging::FastRandom random(33);
    std::vector<float> top(600), bottom(600);
    int compared = 0;
    for (double scale : {0.0, 1e-3, 1.0, 255.0, 499.0, 1e6, 1e19, 3e38}) {
        for (int round = 0; round < 40; ++round) {
            for (std::size_t c = 0; c < top.size(); ++c) {
                top[c] = static_cast<float>(scale * random.next());
                bottom[c] = static_cast<float>(scale * (round % 2 ? random.next() : 1 - random.next()));
            }
            const int s = 1 + int(20 * random.next());
            const std::size_t n = std::size_t(14 * random.next());
            std::vector<int> xs(n), xs1(n);
            int x = int(10 * random.next());
            for (std::size_t i = 0; i < n; ++i) {
                // Runs of adjacent corners broken now and then.
                x += round % 3 == 0 ? s : (random.next() < 0.7 ? 1 : 1 + int(5 * random.next()));
                xs[i] = x;
                xs1[i] = x + (round % 4 == 1 ? 1 + int(3 * random.next()) : s);
            }
            onEveryVectorPath([&] {
                std::vector<double> areas(n + 1, -1.0);
                boxRowAreas(top.data(), bottom.data(), xs.data(), xs1.data(), n, s, areas.data());
                for (std::size_t i = 0; i < n; ++i) {
                    const double plain = plainBoxArea(top[xs[i]], top[xs1[i]], bottom[xs[i]], bottom[xs1[i]], s);
                    EXPECT_TRUE(sameBits(areas[i], plain) || (std::isnan(areas[i]) && std::isnan(plain)))
                        << "scale " << scale << " round " << round << " box " << i << ": " << areas[i] << " vs " << plain;
                    ++compared;
                }
                EXPECT_EQ(areas[n], -1.0) << "written past the row";
            });
        }
    }
    EXPECT_GT(compared, 2000);
}

TEST(GreySurfaceExactness, PhotographsEverySideAndVariant) {
    const imaging::Image skin = imaging::loadImageFile(morph::testdata::samplePath("skin_sample.jpg"));
    for (int side : {20, 41, 200, 333, 499}) {
        for (Variant v : {Variant::A, Variant::B, Variant::C}) {
            const std::string what = "side " + std::to_string(side) + " variant " + std::to_string(int(v));
            WorkGrids grids;
            PictureSurface mono(side + 1, side + 1), hessian(side + 1, side + 1);
            const RegionSquare square{3, 5, static_cast<int16_t>(side)};
            const GreyImageSums sums = prepareGreyImage(PhotoView(skin), square, v, grids.gridA, grids.gridB, mono);
            hessianImage(grids.gridB, sums.extentX, sums.extentY, 3, hessian);
            for (const PictureSurface* picture : {static_cast<const PictureSurface*>(&mono), static_cast<const PictureSurface*>(&hessian)}) {
                FloatGrid a = imaging::makeWorkGrid(7), b = imaging::makeWorkGrid(7);
                FloatGrid pa = imaging::makeWorkGrid(7), pb = imaging::makeWorkGrid(7);
                const GridLoad load = loadGreyGrid(*picture, static_cast<int16_t>(side), a, b);
                const GridLoad plain = plainLoad(*picture, static_cast<int16_t>(side), pa, pb);
                EXPECT_EQ(load.extentX, plain.extentX);
                EXPECT_EQ(load.extentY, plain.extentY);
                EXPECT_EQ(load.pointCount, plain.pointCount);
                int differing = 0;
                for (int y = 0; y <= 500; ++y)
                    for (int x = 0; x <= 500; ++x) differing += a(x, y) != pa(x, y) || b(x, y) != pb(x, y);
                ASSERT_EQ(differing, 0) << what;
                onEveryVectorPath([&] {
                    for (double window : {20.0, 40.0}) expectSameWindows(a, load.extentX, window, what);
                });
            }
        }
    }
}

TEST(GreySurfaceExactness, ColouredAndOutsidePixelsLoadAsBefore) {
    // Not only grey: every channel mix, and the column and row beyond the picture read white.
    PictureSurface picture(60, 60);
    imaging::FastRandom random(4);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
            const int g = int(256 * random.next());
            picture.psetAt(x, y, (x + y) % 3 ? imaging::rgbColour(int(256 * random.next()), g, int(256 * random.next()))
                                             : imaging::greyColour(g));
        }
    for (int side : {0, 1, 58, 59, 60, 120}) {
        FloatGrid a = imaging::makeWorkGrid(), b = imaging::makeWorkGrid(), pa = imaging::makeWorkGrid(),
                  pb = imaging::makeWorkGrid();
        const GridLoad load = loadGreyGrid(picture, static_cast<int16_t>(side), a, b);
        const GridLoad plain = plainLoad(picture, static_cast<int16_t>(side), pa, pb);
        EXPECT_EQ(load.pointCount, plain.pointCount);
        EXPECT_EQ(load.extentX, plain.extentX);
        for (int y = 0; y <= 500; ++y)
            for (int x = 0; x <= 500; ++x) ASSERT_EQ(a(x, y), pa(x, y)) << side << " at " << x << "," << y;
    }
    FloatGrid a = imaging::makeWorkGrid(), b = imaging::makeWorkGrid();
    EXPECT_THROW(loadGreyGrid(picture, 500, a, b), imaging::RunError);
}

}  // namespace
