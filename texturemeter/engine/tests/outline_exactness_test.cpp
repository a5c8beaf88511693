// The outline stage against its plain transcription (kept below as it was before the row-pointer
// version): generated photographs and the bundled ones, sides up to 499, every variant, whole and
// fractional neighbour distances, grids holding earlier values (NaN and infinities included) and
// grids too small for the surface. Means, extents, every grid cell, every figure pixel, the
// figure's revision count and the generator's state must all agree.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/vector_paths.hpp"
#include "texturemeter/stages.hpp"

namespace {

using namespace texturemeter;

namespace plain {
using imaging::RunError;

// The grid cell of a (possibly fractional) position, checked against the grid's bounds.
inline int gridIndex(double v) {
    if (!(v > -1e9 && v < 1e9)) throw RunError::subscriptOutOfRange();
    return imaging::roundToInt(v);
}

// Mean blue, green and red of 300 random pixels of the monochrome image (15 .. size - 6).
void randomMeanColour(const PictureSurface& monochromeImage, double W, double H, imaging::UniformRandom& random,
                      OutlineResult& r) {
    random.reseedFromClock();
    long long sumB = 0, sumG = 0, sumR = 0;
    for (int i = 0; i < 300; ++i) {
        const double r1 = random.next();
        const double r2 = random.next();
        const double x = std::floor(r1 * (W - 20)) + 15;
        const double y = std::floor(r2 * (H - 20)) + 15;
        const imaging::Channels ch = imaging::splitColour(monochromeImage.point(x, y));
        sumB += ch.blue;
        sumG += ch.green;
        sumR += ch.red;
    }
    r.meanB = static_cast<double>(sumB) / 300;
    r.meanG = static_cast<double>(sumG) / 300;
    r.meanR = static_cast<double>(sumR) / 300;
}

// 200 where a pixel is brighter than the mean in all three channels, 0 where it is brighter in
// blue and green only; other cells keep their value.
void thresholdScan(const PictureSurface& monochromeImage, double W, double H, FloatGrid& gridA, OutlineResult& r) {
    // W and H are whole numbers (a surface's size in pixels).
    const int lastX = static_cast<int>(std::floor(W)), lastY = static_cast<int>(std::floor(H));
    int ix = -1, iy = -1;
    for (int y = 0; y <= lastY; ++y) {
        ++iy;
        ix = -1;
        for (int x = 0; x <= lastX; ++x) {
            ++ix;
            const imaging::Channels ch = imaging::splitColour(monochromeImage.pointAt(x, y));
            if (ch.blue > r.meanB && ch.green > r.meanG) gridA(ix, iy) = ch.red > r.meanR ? 200.0f : 0.0f;
        }
    }
    r.extentX = ix;
    r.extentY = iy;
}

// Whether the pixel with value c differs by more than 40 from a neighbour (edge) and is dark.
inline bool darkEdge(float c, const float (&nb)[8]) {
    if (!(c < 50)) return false;
    for (float v : nb)
        if (std::fabs(static_cast<double>(c) - static_cast<double>(v)) > 40) return true;
    return false;
}

// One outline pass: a cell below 50 that differs by more than 40 from one of its eight
// neighbours at distance d is drawn black. Whole-number distances index the grid directly;
// a fractional distance selects cells by half-to-even rounding.
void outlinePass(const FloatGrid& g, double d, double from, double toX, double toY, int step,
                 PictureSurface& figure) {
    const double offsets[8][2] = {{-d, -d}, {0, -d}, {d, -d}, {-d, 0}, {d, 0}, {-d, d}, {0, d}, {d, d}};
    const bool whole = d == std::floor(d) && std::fabs(d) < 1000 && from == std::floor(from);
    if (whole && from <= toX && from <= toY) {
        const int di = static_cast<int>(d), f = static_cast<int>(from);
        const int lastX = static_cast<int>(std::floor(toX)), lastY = static_cast<int>(std::floor(toY));
        const int ad = di < 0 ? -di : di;
        // Every neighbour of the scanned range must lie inside the grid.
        if (f - ad < 0 || lastX + ad > g.maxX() || lastY + ad > g.maxY()) throw RunError::subscriptOutOfRange();
        for (int y = f; y <= lastY; y += step) {
            for (int x = f; x <= lastX; x += step) {
                const float c = g.cell(x, y);
                const float nb[8] = {g.cell(x - di, y - di), g.cell(x, y - di), g.cell(x + di, y - di),
                                     g.cell(x - di, y),      g.cell(x + di, y),  g.cell(x - di, y + di),
                                     g.cell(x, y + di),      g.cell(x + di, y + di)};
                if (darkEdge(c, nb)) figure.psetAt(x, y, imaging::kBlack);
            }
        }
        return;
    }
    for (double y = from; y <= toY; y += step) {
        for (double x = from; x <= toX; x += step) {
            const float c = g(gridIndex(x), gridIndex(y));
            float nb[8];
            for (int i = 0; i < 8; ++i) nb[i] = g(gridIndex(x + offsets[i][0]), gridIndex(y + offsets[i][1]));
            if (darkEdge(c, nb)) figure.pset(x, y, imaging::kBlack);
        }
    }
}

// 200 where the drawing is light (channel sum above 100), 0 where it is dark.
void rethreshold(const PictureSurface& figure, int extentX, int extentY, FloatGrid& gridA) {
    for (int y = 2; y <= extentY - 2; ++y) {
        for (int x = 2; x <= extentX - 2; ++x) {
            const imaging::Channels ch = imaging::splitColour(figure.pointAt(x, y));
            gridA(x, y) = ch.blue + ch.green + ch.red > 100 ? 200.0f : 0.0f;
        }
    }
}

OutlineResult plainOutlineStage(const PictureSurface& monochromeImage, double neighbourDistance, FloatGrid& gridA,
                           PictureSurface& figure, imaging::UniformRandom& random) {
    OutlineResult r;
    const double W = static_cast<double>(monochromeImage.scaleWidth());
    const double H = static_cast<double>(monochromeImage.scaleHeight()) - 3;
    randomMeanColour(monochromeImage, W, H, random, r);
    thresholdScan(monochromeImage, W, H, gridA, r);

    figure.cls();
    figure.setAutoRedraw(true);
    const double d = neighbourDistance;
    outlinePass(gridA, d, d + 2, r.extentX - (d + 2), r.extentY - (d + 2), 1, figure);
    rethreshold(figure, r.extentX, r.extentY, gridA);
    figure.cls();
    outlinePass(gridA, 2, 3, r.extentX - 3, r.extentY - 3, 2, figure);
    return r;
}

}  // namespace plain

struct Outcome {
    OutlineResult result;
    std::string error;
    std::vector<float> grid;
    imaging::Image figure;
    unsigned long long revisions = 0;
    double nextDraw = 0;
};

template <typename Stage>
Outcome run(Stage stage, const PictureSurface& mono, double d, const FloatGrid& start, int figureSide,
            const imaging::Image* figurePicture = nullptr) {
    Outcome o;
    FloatGrid grid = start;
    PictureSurface figure(figureSide, figureSide);
    if (figurePicture) figure.setPicture(*figurePicture);
    imaging::FastRandom random(5);
    const unsigned long long before = figure.revision();
    try {
        o.result = stage(mono, d, grid, figure, random);
    } catch (const imaging::RunError& e) {
        o.error = e.what();
    }
    for (int y = 0; y <= grid.maxY(); ++y)
        for (int x = 0; x <= grid.maxX(); ++x) o.grid.push_back(grid.cell(x, y));
    o.figure = figure.image();
    o.revisions = figure.revision() - before;
    o.nextDraw = random.next();
    return o;
}

void expectSame(const PictureSurface& mono, double d, const FloatGrid& start, int figureSide, const std::string& where,
                const imaging::Image* figurePicture = nullptr) {
    const Outcome ref = run(plain::plainOutlineStage, mono, d, start, figureSide, figurePicture);
    // Every vector path the processor has.
    morph::testdata::onEveryVectorPath([&](imaging::VectorPath path) {
    const Outcome fast = run(outlineStage, mono, d, start, figureSide, figurePicture);
    const std::string what = where + " " + std::string(imaging::vectorPathName(path));
    EXPECT_EQ(fast.error, ref.error) << what;
    EXPECT_EQ(std::memcmp(&fast.result.meanB, &ref.result.meanB, sizeof(double)), 0) << what;
    EXPECT_EQ(std::memcmp(&fast.result.meanG, &ref.result.meanG, sizeof(double)), 0) << what;
    EXPECT_EQ(std::memcmp(&fast.result.meanR, &ref.result.meanR, sizeof(double)), 0) << what;
    EXPECT_EQ(fast.result.extentX, ref.result.extentX) << what;
    EXPECT_EQ(fast.result.extentY, ref.result.extentY) << what;
    ASSERT_EQ(fast.grid.size(), ref.grid.size());
    EXPECT_EQ(std::memcmp(fast.grid.data(), ref.grid.data(), fast.grid.size() * sizeof(float)), 0) << what;
    EXPECT_EQ(fast.figure.pixels, ref.figure.pixels) << what;
    EXPECT_EQ(fast.revisions, ref.revisions) << what;
    EXPECT_EQ(fast.nextDraw, ref.nextDraw) << what;
    });
}

imaging::Image noisePhoto(int side, uint64_t seed) {
    imaging::Image noise(side, side);
    imaging::FastRandom random(seed);
    for (auto& c : noise.pixels)
        c = imaging::rgbColour(int(256 * random.next()), int(256 * random.next()), int(256 * random.next()));
    return noise;
}

// A grid of earlier values around the thresholds the stage tests: below and above 50, differences
// just either side of 40, and a few NaNs and infinities.
FloatGrid oddGrid(uint64_t seed) {
    FloatGrid g = imaging::makeWorkGrid();
    imaging::FastRandom random(seed);
    const float specials[] = {50.0f, std::nextafter(50.0f, 0.0f), 9.0f, 10.0f, std::nextafter(10.0f, 11.0f),
                              -30.0f, -30.000002f, 90.0f, std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                              -0.0f, 1e30f, -1e30f};
    for (int y = 0; y <= g.maxY(); ++y)
        for (int x = 0; x <= g.maxX(); ++x) {
            const double u = random.next();
            g.cell(x, y) = u < 0.3 ? specials[int(random.next() * 14)] : static_cast<float>(200 * random.next() - 50);
        }
    return g;
}

// One value everywhere but for a few cells: each of those is then the only neighbour that can
// differ by more than 40, so the exact difference decides (10 against -30.000002 is 40.000002 in
// double precision but rounds to 40 in single).
FloatGrid sparseGrid(float background, uint64_t seed) {
    FloatGrid g = imaging::makeWorkGrid(background);
    imaging::FastRandom random(seed);
    const float specials[] = {-30.000002f, -30.0f, std::nextafter(-30.0f, 0.0f), 50.0f, 90.0f,
                              std::nextafter(90.0f, 100.0f), std::numeric_limits<float>::quiet_NaN(),
                              -std::numeric_limits<float>::infinity()};
    for (int y = 0; y <= g.maxY(); ++y)
        for (int x = 0; x <= g.maxX(); ++x)
            if (random.next() < 0.02) g.cell(x, y) = specials[int(random.next() * 8)];
    return g;
}

// Pictures whose sampled means are whole numbers and equal to channels of their pixels: a channel
// equal to the mean is not above it.
TEST(OutlineExactness, ChannelsEqualToTheMeans) {
    // The rows the means are sampled from are (red, green, blue) = (100, 120, 140); the last
    // eight rows have one channel equal to its mean and the others above, or all above.
    for (const imaging::Colour second : {imaging::rgbColour(101, 121, 140), imaging::rgbColour(101, 120, 141),
                                         imaging::rgbColour(100, 121, 141), imaging::rgbColour(101, 121, 141)}) {
        for (int side : {40, 201}) {
            imaging::Image picture(side, side);
            for (int y = 0; y < side; ++y)
                for (int x = 0; x < side; ++x)
                    picture.pixels[std::size_t(y) * side + x] =
                        y < side - 8 ? imaging::rgbColour(100, 120, 140) : second;
            PictureSurface mono(side, side);
            mono.setPicture(picture);
            expectSame(mono, 4, imaging::makeWorkGrid(), side, "side " + std::to_string(side));
            expectSame(mono, 4, oddGrid(7), side, "side " + std::to_string(side) + " odd grid");
        }
    }
}

TEST(OutlineExactness, PhotographsEverySideAndVariant) {
    const imaging::Image skin = imaging::loadImageFile(morph::testdata::samplePath("skin_sample.jpg"));
    const imaging::Image noise = noisePhoto(530, 9);
    for (const imaging::Image* photo : {&skin, &noise}) {
        for (int side : {1, 2, 3, 8, 21, 57, 200, 333, 499}) {
            for (Variant v : {Variant::A, Variant::B, Variant::C}) {
                WorkGrids grids;
                PictureSurface mono(side + 1, side + 1);
                const RegionSquare square{7, 11, static_cast<int16_t>(side)};
                prepareGreyImage(PhotoView(*photo), square, v, grids.gridA, grids.gridB, mono);
                mono.setPicture(mono.image());
                const std::string what = "side " + std::to_string(side) + " variant " + std::to_string(int(v));
                // The grid as the run leaves it for this stage, and a cleared one.
                expectSame(mono, 4, grids.gridA, std::max(side + 1, 201), what);
                expectSame(mono, 4, imaging::makeWorkGrid(), side + 1, what + " cleared");
            }
        }
    }
}

TEST(OutlineExactness, DistancesAndEarlierGridValues) {
    const imaging::Image noise = noisePhoto(530, 21);
    for (int side : {5, 60, 200, 499}) {
        WorkGrids grids;
        PictureSurface mono(side + 1, side + 1);
        prepareGreyImage(PhotoView(noise), RegionSquare{3, 4, static_cast<int16_t>(side)}, Variant::B, grids.gridA,
                         grids.gridB, mono);
        mono.setPicture(mono.image());
        for (double d : {0.0, 1.0, 2.0, 4.0, 7.0, -3.0, 2.5, 0.5, 3.5})
            for (uint64_t seed : {1, 2}) {
                const std::string what = "side " + std::to_string(side) + " d " + std::to_string(d);
                expectSame(mono, d, oddGrid(seed), side + 1, what);
                expectSame(mono, d, sparseGrid(seed == 1 ? 10.0f : 49.999996f, seed), side + 1, what + " sparse");
            }
    }
}

// A uniform picture writes no cell in the threshold scan, so the first pass sees the earlier
// values alone.
TEST(OutlineExactness, FirstPassOnEarlierValuesAlone) {
    for (int side : {60, 499}) {
        imaging::Image picture(side + 1, side + 1);
        for (auto& c : picture.pixels) c = imaging::greyColour(77);
        PictureSurface mono(side + 1, side + 1);
        mono.setPicture(picture);
        for (double d : {1.0, 2.0, 4.0, -3.0, 2.5})
            for (uint64_t seed : {1, 2, 3}) {
                const std::string what = "side " + std::to_string(side) + " d " + std::to_string(d);
                expectSame(mono, d, sparseGrid(seed == 1 ? 10.0f : seed == 2 ? 49.999996f : -0.0f, seed), side + 1,
                           what + " sparse");
                expectSame(mono, d, oddGrid(seed), side + 1, what + " odd");
            }
    }
}

// The drawing's surface with a background picture, which each clearing brings back: the
// re-threshold then reads channel sums on both sides of 100, not just black and white.
TEST(OutlineExactness, DrawingOverABackgroundPicture) {
    const imaging::Image noise = noisePhoto(300, 13);
    for (int side : {40, 201, 300}) {
        imaging::Image background(side, side);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const int sum = 98 + (x * 5 + y * 3) % 6;  // 98 .. 103
                background.at(x, y) = imaging::rgbColour(sum / 3, sum / 3, sum - 2 * (sum / 3));
            }
        PictureSurface mono(side, side);
        mono.setPicture(noise);
        // A drawing surface smaller than the scan too: columns past its edge read as outside.
        for (int figureSide : {side, side - 7})
            expectSame(mono, 4, imaging::makeWorkGrid(), figureSide, "side " + std::to_string(side), &background);
    }
}

TEST(OutlineExactness, SurfacesLargerThanTheGridFailAlike) {
    // 520 pixels wide or high: the scan runs past the grid's last index.
    for (auto [w, h] : {std::pair{520, 300}, std::pair{300, 520}, std::pair{502, 504}, std::pair{501, 504}}) {
        PictureSurface mono(w, h);
        mono.setPicture(noisePhoto(std::max(w, h), 3));
        const std::string what = std::to_string(w) + " x " + std::to_string(h);
        expectSame(mono, 4, imaging::makeWorkGrid(), 201, what);
        expectSame(mono, 4, oddGrid(4), 201, what + " odd grid");
        const Outcome fast = run(outlineStage, mono, 4, imaging::makeWorkGrid(), 201);
        EXPECT_EQ(fast.error, "Subscript out of range") << what;
    }
    // Tiny surfaces: the scan visits no row or one, and the passes nothing.
    for (auto [w, h] : {std::pair{1, 1}, std::pair{0, 0}, std::pair{30, 2}, std::pair{30, 3}, std::pair{30, 4},
                        std::pair{2, 30}}) {
        PictureSurface mono(w, h);
        mono.setPicture(noisePhoto(30, 8));
        expectSame(mono, 4, imaging::makeWorkGrid(), 30, std::to_string(w) + " x " + std::to_string(h));
    }
}

}  // namespace
