// The monochrome region image (and Start(C)'s normalization) against their plain transcriptions
// (kept below as they were before rows were read straight from memory): photographs held whole,
// in part (decoded rectangles) and on a surface, squares inside and across every edge, sides up
// to 499, every variant. Sums, extents, every cell of both grids, every pixel of the monochrome
// image and its revision count must agree, and errors must be the same.

#include <gtest/gtest.h>

#include <algorithm>
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
using imaging::RunError;

namespace plain {

void checkSquare(RegionSquare region, int16_t& xEnd, int16_t& yEnd) {
    yEnd = imaging::add16(region.regionY, region.regionSide);
    xEnd = imaging::add16(region.regionX, region.regionSide);
    if (region.regionSide > imaging::kGridMax) throw RunError::subscriptOutOfRange();
    if (region.regionSide < 0)
        throw RunError::invalidArgument("negative sampling width " + imaging::numberText(region.regionSide));
    if (region.regionSide == 0) throw RunError::divisionByZero();
}

void greyNormalization(FloatGrid& gridA, FloatGrid& gridB, int extentX, int extentY, int16_t regionSide);

GreyImageSums prepareGreyImage(PhotoView photo, RegionSquare region, Variant variant, FloatGrid& gridA,
                               FloatGrid& gridB, PictureSurface& monochromeImage) {
    int16_t xEnd = 0, yEnd = 0;
    checkSquare(region, xEnd, yEnd);
    const int16_t side = region.regionSide;
    const double sideD = side;

    GreyImageSums sums;
    int iy = -1, ix = -1;
    for (int y = region.regionY; y <= yEnd; ++y) {
        ix = -1;
        ++iy;
        for (int x = region.regionX; x <= xEnd; ++x) {
            ++ix;
            ++sums.pointCount;
            const imaging::Colour c = photo.pointAt(x, y);
            ++sums.heightCount;
            const double h = greyHeight(imaging::greyOf(c), side, variant);
            const float cell = static_cast<float>(h);
            gridA.cell(ix, iy) = cell;
            gridB.cell(ix, iy) = cell;
            // Start(A) sums the double height, the compressing variants the stored cell.
            sums.heightSum += variant == Variant::A ? h : static_cast<double>(cell);
            const int g = imaging::roundToInt(static_cast<double>(cell) / sideD * 255);
            monochromeImage.psetAt(ix, iy, imaging::greyColour(g));
        }
    }
    sums.extentX = ix;
    sums.extentY = iy;
    if (variant == Variant::C) greyNormalization(gridA, gridB, sums.extentX, sums.extentY, side);
    return sums;
}

void greyNormalization(FloatGrid& gridA, FloatGrid& gridB, int extentX, int extentY, int16_t regionSide) {
    if (extentX < 0 || extentY < 0) return;
    const double side = regionSide;
    // The grey level of a cell, in single precision; worked out from gridA again in each pass
    // (the last pass reads a cell before it overwrites it).
    const auto level = [&](int x, int y) { return static_cast<float>(side * static_cast<double>(gridA(x, y)) / 255); };
    float sum = 0.0f;
    long long count = 0;
    for (int y = 0; y <= extentY; ++y) {
        for (int x = 0; x <= extentX; ++x) {
            sum += level(x, y);
            ++count;
        }
    }
    const float mean = sum / static_cast<float>(count);
    float squares = 0.0f;
    for (int y = 0; y <= extentY; ++y) {
        for (int x = 0; x <= extentX; ++x) {
            const float d = level(x, y) - mean;
            squares += d * d;
        }
    }
    const double sd = std::sqrt(static_cast<double>(squares) / static_cast<double>(count));
    if (sd == 0) throw RunError::divisionByZero();
    for (int y = 0; y <= extentY; ++y) {
        for (int x = 0; x <= extentX; ++x) {
            double v = (static_cast<double>(level(x, y)) - static_cast<double>(mean)) * 10 / sd + 125;
            if (v > 220) v = 220;
            if (v < 30) v = 30;
            const float stored = static_cast<float>(v / side * 255);
            gridA.cell(x, y) = stored;
            gridB.cell(x, y) = stored;
        }
    }
}
}  // namespace plain

struct Outcome {
    GreyImageSums sums;
    std::string error;
    std::vector<float> gridA, gridB;
    imaging::Image mono;
    unsigned long long revisions = 0;
};

template <typename Stage>
Outcome run(Stage stage, PhotoView photo, RegionSquare square, Variant v, const FloatGrid& startA, int monoSide) {
    Outcome o;
    FloatGrid a = startA, b = imaging::makeWorkGrid(3.0f);
    PictureSurface mono(monoSide, monoSide);
    const unsigned long long before = mono.revision();
    try {
        o.sums = stage(photo, square, v, a, b, mono);
    } catch (const RunError& e) {
        o.error = e.what();
    }
    for (int y = 0; y <= a.maxY(); ++y)
        for (int x = 0; x <= a.maxX(); ++x) {
            o.gridA.push_back(a.cell(x, y));
            o.gridB.push_back(b.cell(x, y));
        }
    o.mono = mono.image();
    o.revisions = mono.revision() - before;
    return o;
}

void expectSame(PhotoView photo, RegionSquare square, Variant v, const std::string& what,
                const FloatGrid& startA = imaging::makeWorkGrid()) {
    const int monoSide = std::max(int(square.regionSide) + 1, 1);
    const Outcome ref = run(plain::prepareGreyImage, photo, square, v, startA, monoSide);
    // Every vector path the processor has.
    morph::testdata::onEveryVectorPath([&](imaging::VectorPath path) {
    const Outcome fast = run(prepareGreyImage, photo, square, v, startA, monoSide);
    const std::string at = what + " at (" + std::to_string(square.regionX) + ", " + std::to_string(square.regionY) +
                           ") side " + std::to_string(square.regionSide) + " variant " + std::to_string(int(v)) +
                           " " + std::string(imaging::vectorPathName(path));
    EXPECT_EQ(fast.error, ref.error) << at;
    EXPECT_EQ(fast.sums.extentX, ref.sums.extentX) << at;
    EXPECT_EQ(fast.sums.extentY, ref.sums.extentY) << at;
    EXPECT_EQ(fast.sums.pointCount, ref.sums.pointCount) << at;
    EXPECT_EQ(fast.sums.heightCount, ref.sums.heightCount) << at;
    EXPECT_EQ(std::memcmp(&fast.sums.heightSum, &ref.sums.heightSum, sizeof(double)), 0) << at;
    EXPECT_EQ(std::memcmp(fast.gridA.data(), ref.gridA.data(), fast.gridA.size() * sizeof(float)), 0) << at;
    EXPECT_EQ(std::memcmp(fast.gridB.data(), ref.gridB.data(), fast.gridB.size() * sizeof(float)), 0) << at;
    EXPECT_EQ(fast.mono.pixels, ref.mono.pixels) << at;
    EXPECT_EQ(fast.revisions, ref.revisions) << at;
    });
}

imaging::Image noisePhoto(int w, int h, uint64_t seed) {
    imaging::Image noise(w, h);
    imaging::FastRandom random(seed);
    for (auto& c : noise.pixels)
        c = imaging::rgbColour(int(256 * random.next()), int(256 * random.next()), int(256 * random.next()));
    return noise;
}

// Every grey colour, so every rounding of the grey level (ties included) is met.
imaging::Image greyRamp(int w, int h) {
    imaging::Image ramp(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ramp.at(x, y) = imaging::greyColour((x + 3 * y) % 256);
    return ramp;
}

TEST(GreyImageExactness, WholePhotographsEverySideVariantAndEdge) {
    const imaging::Image skin = imaging::loadImageFile(morph::testdata::samplePath("skin_sample.jpg"));
    const imaging::Image noise = noisePhoto(530, 520, 9);
    const imaging::Image ramp = greyRamp(300, 280);
    for (const imaging::Image* photo : {&skin, &noise, &ramp}) {
        for (int side : {1, 2, 21, 200, 333, 499}) {
            for (Variant v : {Variant::A, Variant::B, Variant::C}) {
                const int w = photo->width, h = photo->height;
                for (auto [x, y] : {std::pair{7, 11}, std::pair{0, 0}, std::pair{-5, -9}, std::pair{w - side - 1, h - side - 1},
                                    std::pair{w - side, h - side}, std::pair{w - 3, 4}, std::pair{4, h - 3},
                                    std::pair{-side - 1, 0}})
                    expectSame(PhotoView(*photo), RegionSquare{int16_t(x), int16_t(y), int16_t(side)}, v, "image");
            }
        }
    }
}

TEST(GreyImageExactness, DecodedRectanglesAndSurfaces) {
    const imaging::Image noise = noisePhoto(400, 380, 12);
    // Rectangles of the photograph, as a part decode gives them: one reaching the photograph's
    // right and bottom edges, one inside it.
    std::vector<imaging::PictureRegion> regions;
    for (auto [w, h] : {std::pair{360, 350}, std::pair{300, 300}}) {
        imaging::PictureRegion region;
        region.left = 40;
        region.top = 30;
        region.fullWidth = noise.width;
        region.fullHeight = noise.height;
        region.pixels = imaging::Image(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) region.pixels.at(x, y) = noise.at(x + 40, y + 30);
        regions.push_back(region);
    }
    PictureSurface surface(400, 380);
    surface.setPicture(noise);
    for (Variant v : {Variant::A, Variant::B, Variant::C}) {
        for (int side : {1, 20, 200, 289}) {
            // Inside a rectangle, touching its far corner, reaching past the photograph's edge
            // (white there), and reaching past a rectangle inside the photograph (a read of
            // missing pixels).
            for (auto [x, y] : {std::pair{40, 30}, std::pair{339 - side, 329 - side}, std::pair{399 - side, 379 - side},
                                std::pair{395 - side, 360}, std::pair{380, 379 - side}, std::pair{345 - side, 40},
                                std::pair{60, 335 - side}, std::pair{39, 30}, std::pair{40, 29}, std::pair{100, 100}}) {
                const RegionSquare square{int16_t(x), int16_t(y), int16_t(side)};
                for (const imaging::PictureRegion& region : regions) expectSame(PhotoView(region), square, v, "rectangle");
                expectSame(PhotoView(surface), square, v, "surface");
            }
        }
    }
}

TEST(GreyImageExactness, ErrorsAndEarlierGridValues) {
    const imaging::Image noise = noisePhoto(200, 200, 4);
    for (Variant v : {Variant::A, Variant::B, Variant::C}) {
        for (int16_t side : {int16_t(0), int16_t(-4), int16_t(501), int16_t(500)})
            expectSame(PhotoView(noise), RegionSquare{3, 3, side}, v, "bad side");
        expectSame(PhotoView(noise), RegionSquare{32760, 3, 20}, v, "16-bit end");
        // A uniform square: Start(C) divides by a deviation of 0.
        imaging::Image flat(100, 100, imaging::rgbColour(10, 200, 30));
        expectSame(PhotoView(flat), RegionSquare{0, 0, 50}, v, "uniform", imaging::makeWorkGrid(7.5f));
    }
}

TEST(GreyImageExactness, NormalizationOnItsOwn) {
    // Extents past the grid fail before any cell is written; others agree cell for cell.
    imaging::FastRandom random(6);
    FloatGrid uniform = imaging::makeWorkGrid();
    for (int y = 0; y <= uniform.maxY(); ++y)
        for (int x = 0; x <= uniform.maxX(); ++x) uniform.cell(x, y) = static_cast<float>(300 * random.next());
    // Mostly one level with far outliers on both sides, so the clamps at 30 and 220 are met in
    // every lane position; and a grid with one NaN cell.
    FloatGrid outliers = imaging::makeWorkGrid(120.0f);
    for (int y = 0; y <= outliers.maxY(); ++y)
        for (int x = 0; x <= outliers.maxX(); ++x)
            if ((x * 7 + y * 3) % 401 == 0) outliers.cell(x, y) = (x + y) % 2 ? 1e4f : -1e4f;
    FloatGrid withNaN = uniform;
    withNaN.cell(5, 0) = std::numeric_limits<float>::quiet_NaN();
    for (const FloatGrid* start : {&uniform, &outliers, &withNaN})
    morph::testdata::onEveryVectorPath([&](imaging::VectorPath path) {
    const std::string_view name = imaging::vectorPathName(path);
    for (auto [ex, ey] : {std::pair{0, 0}, std::pair{499, 0}, std::pair{0, 499}, std::pair{500, 500}, std::pair{37, 210},
                          std::pair{501, 3}, std::pair{3, 501}, std::pair{-1, 5}, std::pair{6, 9}}) {
        FloatGrid a1 = *start, b1 = imaging::makeWorkGrid(), a2 = *start, b2 = imaging::makeWorkGrid();
        std::string e1, e2;
        try { greyNormalization(a1, b1, ex, ey, 200); } catch (const RunError& e) { e1 = e.what(); }
        try { plain::greyNormalization(a2, b2, ex, ey, 200); } catch (const RunError& e) { e2 = e.what(); }
        EXPECT_EQ(e1, e2) << ex << " " << ey;
        for (int y = 0; y <= start->maxY(); ++y)
            for (int x = 0; x <= start->maxX(); ++x) {
                ASSERT_EQ(std::memcmp(&a1.cell(x, y), &a2.cell(x, y), sizeof(float)), 0) << x << " " << y << " " << name;
                ASSERT_EQ(std::memcmp(&b1.cell(x, y), &b2.cell(x, y), sizeof(float)), 0) << x << " " << y << " " << name;
            }
    }
    });
}

}  // namespace
