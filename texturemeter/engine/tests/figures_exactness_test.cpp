// The line and dot figures against a direct transcription of their rule (every direction, every
// point, Int(x + cos t x k) at each position), on large and small fields, so that the table-driven
// stage stays exactly the rule, including the positions where x + cos t x k rounds up. Every field
// is drawn on every vector path the processor has (scalar, sse2, avx2).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "imaging/colour.hpp"
#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "testdata/reference_data.hpp"
#include "testdata/vector_paths.hpp"
#include "texturemeter/stages.hpp"

namespace {

using namespace texturemeter;

double directFigure(const FloatGrid& h, int extentX, int extentY, int r, int step, bool line, PictureSurface& p) {
    long long total = 0, marked = 0;
    int row = 0;
    for (int y = r; y <= extentY - r; ++y) {
        ++row;
        int column = 0;
        for (int x = r; x <= extentX - r; ++x) {
            ++total;
            ++column;
            const float c = h(x, y);
            int flag = 0;
            for (int angle = 0; angle <= 360; angle += step) {
                const double theta = 3.141593 / 180 * angle;
                int n = 0;
                for (int k = -r + 1; k <= r - 1; ++k) {
                    const int px = static_cast<int>(std::floor(x + std::cos(theta) * k));
                    const int py = static_cast<int>(std::floor(y + std::sin(theta) * k));
                    const float v = h(px, py);
                    if (c < 100 && double(c) - 10 < double(v) && double(v) < double(c) + 10) ++n;
                }
                if (line ? n > 2 * r - 4 : (n > 1 && n < 3)) flag = 1;
            }
            const int value = flag ? 0 : 256;
            p.psetAt(column, row, imaging::greyColour(value));
            if (value < 10) ++marked;
        }
    }
    return double(marked) / double(total);
}

// A field of dark streaks and spots with noise, heights 0..140.
FloatGrid texturedField(int extent, uint64_t seed) {
    FloatGrid g = imaging::makeWorkGrid(0);
    imaging::FastRandom random(seed);
    for (int y = 0; y <= extent; ++y)
        for (int x = 0; x <= extent; ++x) {
            const double streak = std::fmod(x * 0.7 + y * 0.3, 23.0) < 3 ? 20 : 90;
            g(x, y) = static_cast<float>(streak + 30 * random.next() + ((x * y) % 17 == 0 ? 40 : 0));
        }
    return g;
}

// The first pixel where two figures differ ("" when they are the same).
std::string firstDifference(const PictureSurface& a, const PictureSurface& b, int extentX, int extentY) {
    for (int y = 0; y <= extentY; ++y)
        for (int x = 0; x <= extentX; ++x)
            if (a.pointAt(x, y) != b.pointAt(x, y)) return std::to_string(x) + "," + std::to_string(y);
    return "";
}

// Every path of the figures, each drawn on a fresh surface, against the direct rule.
void expectSameFigures(const FloatGrid& g, int extentX, int extentY) {
    SCOPED_TRACE("extent " + std::to_string(extentX) + " x " + std::to_string(extentY));
    PictureSurface line(extentX + 1, extentY + 1), dot(extentX + 1, extentY + 1);
    const double lineRatio = directFigure(g, extentX, extentY, 8, 10, true, line);
    const double dotRatio = directFigure(g, extentX, extentY, 5, 20, false, dot);
    morph::testdata::onEveryVectorPath([&] {
        PictureSurface a(extentX + 1, extentY + 1), c(extentX + 1, extentY + 1);
        EXPECT_EQ(lineFigure(g, extentX, extentY, a), lineRatio);
        EXPECT_EQ(dotFigure(g, extentX, extentY, c), dotRatio);
        EXPECT_EQ(firstDifference(a, line, extentX, extentY), "") << "line";
        EXPECT_EQ(firstDifference(c, dot, extentX, extentY), "") << "dot";
        // Every pixel of the figure is drawn once, as before.
        EXPECT_EQ(a.revision(), line.revision());
        EXPECT_EQ(c.revision(), dot.revision());
    });
}

void expectSameFigures(const FloatGrid& g, int extent) { expectSameFigures(g, extent, extent); }

// The height field the figures read in a run: the square's grey heights, its Hessian picture,
// and that picture loaded back as heights.
FloatGrid runHeightField(const imaging::Image& photo, RegionSquare square, Variant variant) {
    FloatGrid gridA = imaging::makeWorkGrid(0), gridB = imaging::makeWorkGrid(0);
    const int side = square.regionSide;
    PictureSurface monochrome(side + 1, side + 1), hessian(side + 1, side + 1);
    const GreyImageSums sums = prepareGreyImage(PhotoView(photo), square, variant, gridA, gridB, monochrome);
    hessianImage(gridB, sums.extentX, sums.extentY, 3, hessian);
    loadGreyGrid(hessian, square.regionSide, gridA, gridB);
    return gridB;
}

// Each test leaves the widest vector path chosen, whatever happens in it.
class FiguresExactness : public ::testing::Test {
protected:
    void TearDown() override { imaging::chooseVectorPath(imaging::widestVectorPath()); }
};

TEST_F(FiguresExactness, DefaultSquare) { expectSameFigures(texturedField(200, 1), 200); }

TEST_F(FiguresExactness, LargestSquareWherePositionsRoundUp) {
    // Beyond 256 the sum x + sin(90 degrees) x k rounds up to the next whole number.
    FloatGrid g = imaging::makeWorkGrid(0);
    for (int y = 0; y <= 499; ++y)
        for (int x = 0; x <= 499; ++x) g(x, y) = (x % 9 == 0) ? 5.0f : ((y % 7 == 0) ? 50.0f : 130.0f);
    expectSameFigures(g, 499);
    expectSameFigures(texturedField(499, 2), 499);
}

// Fields of every size a run can give, including those narrower than a block of centres and those
// whose last block overlaps the one before.
TEST_F(FiguresExactness, EverySizeOfRandomField) {
    for (int extent : {16, 17, 20, 23, 24, 25, 31, 40, 101, 257, 300})
        expectSameFigures(texturedField(extent, uint64_t(extent)), extent);
    expectSameFigures(texturedField(499, 7), 499, 120);
    expectSameFigures(texturedField(499, 8), 33, 499);
}

// Heights exactly 10 apart, just inside and outside that distance in single precision, tiny,
// huge, infinite and not-a-number: the similarity test stays c - 10 < v < c + 10 in double.
TEST_F(FiguresExactness, HeightsAtTheEdgeOfSimilarity) {
    const float inf = std::numeric_limits<float>::infinity();
    const float special[] = {0.0f, -0.0f, 1e-30f, -1e-30f, 1e-45f, 10.0f, 20.0f, 30.0f, 99.99999f, 100.0f,
                             -1e30f, -3.4e38f, -inf, inf, std::numeric_limits<float>::quiet_NaN(),
                             std::nextafter(10.0f, 0.0f), std::nextafter(10.0f, 20.0f), 50.0f, 40.0f, 60.0f};
    FloatGrid g = imaging::makeWorkGrid(0);
    imaging::FastRandom random(11);
    for (int y = 0; y <= 120; ++y)
        for (int x = 0; x <= 120; ++x) {
            const double pick = random.next();
            if (pick < 0.35) g(x, y) = special[int(random.next() * 20) % 20];
            else if (pick < 0.7) g(x, y) = 40.0f + ((x + 2 * y) % 3) * 10.0f;  // neighbours exactly 10 apart
            else g(x, y) = static_cast<float>(30 + 20 * random.next());
        }
    expectSameFigures(g, 120);
}

// The figures of real photographs in every variant, for the largest square (where every Hessian
// grey is bright) and smaller ones, some at the photograph's edges.
TEST_F(FiguresExactness, PhotographsInEveryVariant) {
    const imaging::Image skin = imaging::loadImageFile(morph::testdata::samplePath("skin_sample.jpg"));
    const imaging::Image lesion = imaging::loadImageFile(morph::testdata::samplePath("lesion_sample.jpg"));
    const imaging::Image reference = imaging::loadImageFile(morph::testdata::path("reference/skin_texture.jpg"));
    struct Case {
        const imaging::Image* photo;
        RegionSquare square;
        Variant variant;
    };
    const Case cases[] = {
        {&skin, {0, 0, 499}, Variant::A},       {&lesion, {20, 10, 250}, Variant::B},
        {&reference, {0, 0, 160}, Variant::C},  {&skin, {20, 30, 200}, Variant::B},
        {&lesion, {100, 50, 200}, Variant::C},  {&reference, {10, 10, 200}, Variant::A},
        {&skin, {600, 440, 57}, Variant::C},    {&lesion, {0, 0, 21}, Variant::A},
        {&reference, {300, 200, 130}, Variant::B},
    };
    double linesAndDots = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("square " + std::to_string(c.square.regionX) + "," + std::to_string(c.square.regionY) + " side " +
                     std::to_string(c.square.regionSide) + " variant " + std::to_string(int(c.variant)));
        const FloatGrid heights = runHeightField(*c.photo, c.square, c.variant);
        expectSameFigures(heights, c.square.regionSide);
        PictureSurface figure(c.square.regionSide + 1, c.square.regionSide + 1);
        linesAndDots += lineFigure(heights, c.square.regionSide, c.square.regionSide, figure) +
                        dotFigure(heights, c.square.regionSide, c.square.regionSide, figure);
    }
    // The photographs do mark lines and dots (a figure of nothing but light pixels proves little).
    EXPECT_GT(linesAndDots, 0.5);
}

}  // namespace
