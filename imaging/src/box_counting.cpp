#include "imaging/box_counting.hpp"

#include <cmath>
#include <utility>
#include <vector>

#include "imaging/grid.hpp"
#include "imaging/numeric.hpp"

namespace imaging {

namespace {
constexpr int kBoxGridMax = 305;
}

BoxCountingResult boxCounting(const PictureSurface& picture, const BoxCountingParameters& p) {
    // Grey grid, indices 0..305, only x = 1..width, y = 1..height filled.
    Grid<float> grid(kBoxGridMax, kBoxGridMax, 0.0f);
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

Fit boxCountingFit(const BoxCountingResult& result, const BoxCountingParameters& p) {
    std::vector<double> lnSide(5), lnCount(5);
    for (int k = 0; k < 5; ++k) {
        lnSide[k] = std::log(static_cast<double>(p.sides[k]));
        lnCount[k] = std::log(static_cast<double>(result.counts[k]));
    }
    return fitLogLog(std::move(lnSide), std::move(lnCount), kBoxCountingDimension);
}

}  // namespace imaging
