// Box counting against its plain cell-by-cell scan (kept below as it was before running sums):
// pictures from empty to fully dark, dark pixels scattered and clustered, pictures smaller than
// the counted area, every parameter set of both programs and odd ones (sides above the limits,
// limits past the grid, counts past 16 bits). Counts, dimension and errors must agree.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imaging/box_counting.hpp"
#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/grid.hpp"
#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "imaging/surface.hpp"

namespace {

using namespace imaging;

BoxCountingResult plainBoxCounting(const PictureSurface& picture, const BoxCountingParameters& p) {
    Grid<float> grid(305, 305, 0.0f);
    for (int y = 1; y <= p.height; ++y) {
        for (int x = 1; x <= p.width; ++x) {
            const Channels ch = splitColour(picture.pointAt(x, y));
            grid(x, y) = static_cast<float>((ch.blue + ch.green + ch.red) / 3.0);
        }
    }
    BoxCountingResult result{};
    double lnSide[5];
    double lnCount[5];
    for (int k = 0; k < 5; ++k) {
        const int s = p.sides[k];
        int16_t count = 0;
        for (int i = 3; i <= p.limitX - s; i += s) {
            for (int j = 3; j <= p.limitY - s; j += s) {
                bool occupied = false;
                for (int x = i; x <= i + s && !occupied; ++x)
                    for (int y = j; y <= j + s; ++y)
                        if (grid(x, y) < 200.0f) {
                            occupied = true;
                            break;
                        }
                if (occupied) count = add16(count, 1);
            }
        }
        if (count < 1) count = 1;
        result.counts[k] = count;
        lnSide[k] = std::log(static_cast<double>(s));
        lnCount[k] = std::log(static_cast<double>(count));
    }
    const double slope = leastSquaresSlope(lnSide, lnCount, 5);
    result.dimension = -slope - 0.09;
    return result;
}

void expectSame(const PictureSurface& picture, const BoxCountingParameters& p, const std::string& what) {
    BoxCountingResult fast{}, plain{};
    std::string fastError, plainError;
    try { fast = boxCounting(picture, p); } catch (const RunError& e) { fastError = e.what(); }
    try { plain = plainBoxCounting(picture, p); } catch (const RunError& e) { plainError = e.what(); }
    EXPECT_EQ(fastError, plainError) << what;
    if (!fastError.empty()) return;
    EXPECT_EQ(fast.counts, plain.counts) << what;
    EXPECT_EQ(std::memcmp(&fast.dimension, &plain.dimension, sizeof(double)), 0) << what;
}

// White with dark pixels at the given density; `cluster` darkens 3 x 3 blocks instead. Greys
// next to the 200 threshold (channel sums 599, 600, 601) come in too.
PictureSurface picture(int w, int h, double density, bool cluster, uint64_t seed) {
    PictureSurface s(w, h);
    FastRandom random(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (random.next() >= density) continue;
            const double kind = random.next();
            const Colour c = kind < 0.6 ? kBlack : kind < 0.7 ? rgbColour(200, 200, 199) : kind < 0.8 ? rgbColour(200, 200, 200)
                                                  : kind < 0.9 ? rgbColour(200, 200, 201) : rgbColour(0, 250, 250);
            if (!cluster) s.psetAt(x, y, c);
            else
                for (int dy = 0; dy < 3; ++dy)
                    for (int dx = 0; dx < 3; ++dx) s.psetAt(x + dx, y + dy, c);
        }
    return s;
}

TEST(BoxCountingExactness, EveryParameterSetOnManyPictures) {
    const BoxCountingParameters sets[] = {kLineDimensionBoxes, kViewBoxSides, kStripBoxSides,
                                          {150, 150, {1, 3, 7, 40, 200}, 160, 170},
                                          {305, 305, {2, 4, 6, 300, 305}, 305, 305},
                                          {0, 0, {1, 2, 5, 10, 20}, 184, 184},
                                          {-5, 10, {1, 1, 1, 1, 1}, 2, 3}};
    int n = 0;
    for (int size : {0, 1, 50, 201, 301, 320})
        for (double density : {0.0, 0.0002, 0.003, 0.05, 0.6, 1.0})
            for (bool cluster : {false, true}) {
                const PictureSurface pic = picture(size, size, density, cluster, 100 + n++);
                for (const BoxCountingParameters& p : sets)
                    expectSame(pic, p, "size " + std::to_string(size) + " density " + std::to_string(density) +
                                           (cluster ? " clustered" : "") + " limits " + std::to_string(p.limitX));
            }
}

TEST(BoxCountingExactness, ErrorsAgree) {
    const PictureSurface white(320, 320);
    const PictureSurface dark = picture(320, 320, 1.0, false, 3);
    // Counts past 16 bits: "Overflow" from the same side.
    const BoxCountingParameters overflow{200, 200, {5, 1, 2, 10, 20}, 250, 250};
    // Past the grid: the plain scan's "Subscript out of range".
    const BoxCountingParameters wide{306, 200, {1, 2, 5, 10, 20}, 184, 184};
    const BoxCountingParameters far{200, 200, {1, 2, 5, 10, 20}, 310, 184};
    for (const PictureSurface* pic : {&white, &dark})
        for (const BoxCountingParameters& p : {overflow, wide, far}) expectSame(*pic, p, "error");
    EXPECT_THROW(boxCounting(dark, overflow), RunError);
    // All dark, side 1: 128 x 256 = 32768 boxes are one too many, 151 x 217 = 32767 are not.
    const BoxCountingParameters justOver{200, 200, {2, 1, 5, 10, 20}, 131, 259};
    const BoxCountingParameters justUnder{200, 200, {2, 1, 5, 10, 20}, 154, 220};
    const PictureSurface black(320, 320, SizePolicy::Fixed, kBlack);
    expectSame(black, justOver, "32768 boxes");
    expectSame(black, justUnder, "32767 boxes");
    EXPECT_THROW(boxCounting(black, justOver), RunError);
    EXPECT_EQ(boxCounting(black, justUnder).counts[1], 32767);
}

}  // namespace
