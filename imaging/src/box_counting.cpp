#include "imaging/box_counting.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/grid.hpp"
#include "imaging/numeric.hpp"

namespace imaging {

namespace {
constexpr int kBoxGridMax = 305;
}

namespace {

// Whether the boxes can be counted from running sums: every cell a box or the grey grid touches
// lies in the grid, and every side is at least 1.
bool fitsTheGrid(const BoxCountingParameters& p) {
    if (p.width > kBoxGridMax || p.height > kBoxGridMax || p.limitX > kBoxGridMax || p.limitY > kBoxGridMax)
        return false;
    for (int16_t s : p.sides)
        if (s < 1) return false;
    return true;
}

// The box counts from running sums of the dark cells (grey below 200): a box is occupied when
// its sum is above 0. The same cells, boxes and counts as the cell-by-cell scan.
void countBoxes(const PictureSurface& picture, const BoxCountingParameters& p, int16_t (&counts)[5]) {
    // The boxes read cells 3 .. limit in each direction; the sums cover cells 0 .. limit.
    const int nx = std::max(p.limitX + 1, 1), ny = std::max(p.limitY + 1, 1);
    const int stride = nx + 1;  // running sums have a zero row and column in front
    // A cell's darkness depends on its channel sum alone (0 .. 765): grey below 200, worked
    // out in the same single-precision expression, once.
    static const std::array<bool, 766> darkBySum = [] {
        std::array<bool, 766> dark{};
        for (int sum = 0; sum <= 765; ++sum) dark[std::size_t(sum)] = static_cast<float>(sum / 3.0) < 200.0f;
        return dark;
    }();
    thread_local std::vector<int> sums;
    sums.assign(std::size_t(stride) * std::size_t(ny + 1), 0);
    // The filled cells (x = 1 .. width, y = 1 .. height) that the sums cover; unfilled cells hold
    // 0, which is dark; a filled cell outside the picture reads white.
    const int filledX = std::min(p.width, nx - 1), filledY = std::min(p.height, ny - 1);
    for (int y = 0; y < ny; ++y) {
        int rowSum = 0;
        const int* above = &sums[std::size_t(y) * std::size_t(stride)];
        int* out = &sums[std::size_t(y + 1) * std::size_t(stride)];
        const bool filledRow = y >= 1 && y <= filledY;
        const Colour* pixels = filledRow ? picture.rowPixels(y) : nullptr;
        const int inPicture = pixels ? std::min(filledX, picture.width() - 1) : 0;
        for (int x = 0; x < nx; ++x) {
            bool dark = true;
            if (filledRow && x >= 1 && x <= filledX) {
                const Colour c = x <= inPicture ? pixels[x] : kOutside;
                dark = darkBySum[std::size_t(((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF))];
            }
            rowSum += dark ? 1 : 0;
            out[x + 1] = above[x + 1] + rowSum;
        }
    }
    const auto boxSum = [&](int x0, int y0, int x1, int y1) {  // cells x0..x1, y0..y1
        const std::size_t w = std::size_t(stride);
        return sums[std::size_t(y1 + 1) * w + std::size_t(x1 + 1)] - sums[std::size_t(y0) * w + std::size_t(x1 + 1)] -
               sums[std::size_t(y1 + 1) * w + std::size_t(x0)] + sums[std::size_t(y0) * w + std::size_t(x0)];
    };
    for (int k = 0; k < 5; ++k) {
        const int s = p.sides[k];
        long long occupied = 0;
        for (int i = 3; i <= p.limitX - s; i += s)
            for (int j = 3; j <= p.limitY - s; j += s) occupied += boxSum(i, j, i + s, j + s) > 0;
        // Counted in 16 bits, as the scan counts.
        if (occupied > 32767) throw RunError::overflow();
        counts[k] = static_cast<int16_t>(occupied);
    }
}

}  // namespace

BoxCountingResult boxCounting(const PictureSurface& picture, const BoxCountingParameters& p) {
    if (fitsTheGrid(p)) {
        int16_t counts[5];
        countBoxes(picture, p, counts);
        BoxCountingResult result{};
        double lnSide[5];
        double lnCount[5];
        for (int k = 0; k < 5; ++k) {
            const int16_t count = counts[k] < 1 ? int16_t(1) : counts[k];
            result.counts[k] = count;
            lnSide[k] = std::log(static_cast<double>(p.sides[k]));
            lnCount[k] = std::log(static_cast<double>(count));
        }
        const double slope = leastSquaresSlope(lnSide, lnCount, 5);
        result.dimension = -slope - 0.09;
        return result;
    }
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
