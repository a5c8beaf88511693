// The line and dot figures against a direct transcription of their rule (every direction, every
// point, Int(x + cos t x k) at each position), on large and small fields, so that the table-driven
// stage stays exactly the rule, including the positions where x + cos t x k rounds up.

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/colour.hpp"
#include "imaging/random.hpp"
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

void expectSameFigures(const FloatGrid& g, int extent) {
    PictureSurface a(extent + 1, extent + 1), b(extent + 1, extent + 1);
    EXPECT_EQ(lineFigure(g, extent, extent, a), directFigure(g, extent, extent, 8, 10, true, b));
    for (int y = 0; y <= extent; ++y)
        for (int x = 0; x <= extent; ++x) ASSERT_EQ(a.pointAt(x, y), b.pointAt(x, y)) << x << "," << y;
    PictureSurface c(extent + 1, extent + 1), d(extent + 1, extent + 1);
    EXPECT_EQ(dotFigure(g, extent, extent, c), directFigure(g, extent, extent, 5, 20, false, d));
    for (int y = 0; y <= extent; ++y)
        for (int x = 0; x <= extent; ++x) ASSERT_EQ(c.pointAt(x, y), d.pointAt(x, y)) << x << "," << y;
}

TEST(FiguresExactness, DefaultSquare) { expectSameFigures(texturedField(200, 1), 200); }

TEST(FiguresExactness, LargestSquareWherePositionsRoundUp) {
    // Beyond 256 the sum x + sin(90 degrees) x k rounds up to the next whole number.
    FloatGrid g = imaging::makeWorkGrid(0);
    for (int y = 0; y <= 499; ++y)
        for (int x = 0; x <= 499; ++x) g(x, y) = (x % 9 == 0) ? 5.0f : ((y % 7 == 0) ? 50.0f : 130.0f);
    expectSameFigures(g, 499);
    expectSameFigures(texturedField(499, 2), 499);
}

}  // namespace
