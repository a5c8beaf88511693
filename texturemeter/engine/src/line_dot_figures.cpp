// Line and dot figures: dark pixels of the Hessian height field that lie on a long straight run
// of similar heights (line) or have exactly one similar neighbour in some direction (dot).

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/grid.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

namespace {

// The parameters that tell the two figures apart.
struct FigureRule {
    int halfLength;   // r
    int angleStep;    // degrees between directions, 0..360 inclusive
    bool line;        // line: n > 2r - 4; dot: n = 2
};

constexpr FigureRule kLineRule{8, 10, true};
constexpr FigureRule kDotRule{5, 20, false};
// markBlock and markOne count this many points per direction and apply these thresholds.
static_assert(2 * kLineRule.halfLength - 1 == 15 && 2 * kLineRule.halfLength - 4 == 12);
static_assert(2 * kDotRule.halfLength - 1 == 9);

// One point of a direction: Int(x + cos t x k) and Int(y + sin t x k). For most points the
// offset from (x, y) is the same whole number Int(cos t x k) at every position; where the fraction
// of cos t x k lies within rounding distance of 1 (cos 90 degrees x k under pi = 3.141593 is
// 0.99999999999998 x k), x + cos t x k rounds up to the next whole number for larger x, and the
// offset is worked out for each position.
struct DirectionPoint {
    double ox, oy;   // cos t x k, sin t x k
};

// Whether Int(v + o) - v is Int(o) for every whole v with |v + o| < 1024 (ulp below 2^-42).
bool offsetIsUniform(double o) {
    const double f = o - std::floor(o);
    return f == 0 || 1 - f > 0x1p-40;
}

std::vector<DirectionPoint> directionPoints(const FigureRule& rule) {
    std::vector<DirectionPoint> points;
    const int r = rule.halfLength;
    for (int angle = 0; angle <= 360; angle += rule.angleStep) {
        const double theta = 3.141593 / 180 * angle;
        const double cs = std::cos(theta), sn = std::sin(theta);
        for (int k = -r + 1; k <= r - 1; ++k) points.push_back({cs * k, sn * k});
    }
    return points;
}

// The offsets Int(v + o) - v of all points along one axis for the positions first..last, grouped
// into classes of positions that share the same offsets.
struct AxisClasses {
    std::vector<int> classOf;                  // class of position first + i
    std::vector<std::vector<int>> offsets;     // offsets of every point, per class
};

AxisClasses axisClasses(const std::vector<DirectionPoint>& points, bool alongX, int first, int last) {
    AxisClasses axis;
    for (int v = first; v <= last; ++v) {
        std::vector<int> offs;
        offs.reserve(points.size());
        for (const DirectionPoint& p : points) {
            const double o = alongX ? p.ox : p.oy;
            offs.push_back(offsetIsUniform(o) ? static_cast<int>(std::floor(o))
                                              : static_cast<int>(std::floor(v + o)) - v);
        }
        const auto found = std::find(axis.offsets.begin(), axis.offsets.end(), offs);
        axis.classOf.push_back(static_cast<int>(found - axis.offsets.begin()));
        if (found == axis.offsets.end()) axis.offsets.push_back(std::move(offs));
    }
    return axis;
}

// The points of every direction as offsets into the grid's cells, farthest points first (a line
// direction then fails after few reads); directions with the same points are kept once, since the
// flag only asks whether some direction satisfies the rule.
using DirectionTable = std::vector<std::vector<std::ptrdiff_t>>;

DirectionTable directionTable(const std::vector<int>& dx, const std::vector<int>& dy, int perDirection,
                              std::ptrdiff_t stride) {
    DirectionTable table;
    std::vector<std::vector<std::ptrdiff_t>> seen;
    const int directions = static_cast<int>(dx.size()) / perDirection;
    for (int dir = 0; dir < directions; ++dir) {
        std::vector<std::pair<int, std::ptrdiff_t>> byDistance;
        for (int i = 0; i < perDirection; ++i) {
            const std::size_t at = std::size_t(dir) * std::size_t(perDirection) + std::size_t(i);
            const int k = i - (perDirection - 1) / 2;
            byDistance.push_back({-(k < 0 ? -k : k), std::ptrdiff_t(dy[at]) * stride + dx[at]});
        }
        std::stable_sort(byDistance.begin(), byDistance.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::ptrdiff_t> offsets;
        for (const auto& e : byDistance) offsets.push_back(e.second);
        std::vector<std::ptrdiff_t> sorted = offsets;
        std::sort(sorted.begin(), sorted.end());
        if (std::find(seen.begin(), seen.end(), sorted) != seen.end()) continue;
        seen.push_back(std::move(sorted));
        table.push_back(std::move(offsets));
    }
    return table;
}

// A point of height v is similar to a centre of height c when c - 10 < v < c + 10, both sides
// worked out in double precision. Since v is a float, that holds exactly when below <= v <= above
// for the least float `below` greater than c - 10 and the greatest float `above` less than c + 10,
// which lets a whole run of centres be compared in single precision, several at a time.
struct SimilarRange {
    float below, above;
};

// The next float above f (f neither NaN nor +infinity) and the next below (f neither NaN nor -infinity).
inline float nextFloatUp(float f) {
    if (f == 0) return std::numeric_limits<float>::denorm_min();
    const auto bits = std::bit_cast<std::uint32_t>(f);
    return std::bit_cast<float>(f > 0 ? bits + 1 : bits - 1);
}
inline float nextFloatDown(float f) { return -nextFloatUp(-f); }

inline SimilarRange similarRange(float c) {
    const double lo = static_cast<double>(c) - 10, hi = static_cast<double>(c) + 10;
    float below = static_cast<float>(lo), above = static_cast<float>(hi);
    if (static_cast<double>(below) <= lo) below = nextFloatUp(below);
    if (static_cast<double>(above) >= hi) above = nextFloatDown(above);
    return {below, above};
}

// Whether a direction's count of similar points satisfies the rule: a line needs more than
// 2r - 4 = 12 of its 15 points, a dot exactly 2 of its 9.
template <bool Line>
inline bool countMarks(int n) {
    if constexpr (Line) return n > 12;
    else return n == 2;
}

// Four centres at a time (the compiler's portable vector types; a comparison gives -1 or 0 per lane).
using Float4 = float __attribute__((vector_size(16)));
using Int4 = int __attribute__((vector_size(16)));

inline Float4 load4(const float* p) {
    Float4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

constexpr int kBlock = 8;
constexpr int kLanes = kBlock / 4;

// Marks the centres first .. first + kBlock - 1 of a row (centre i at cells[i]) that some
// direction of `table` satisfies; below/above hold each centre's similar range, marks receives
// 1 or 0 (bright centres get either and are dropped by the caller).
template <bool Line, int PerDirection>
inline void markBlock(const float* cells, const float* below, const float* above, const std::ptrdiff_t* table,
                      std::size_t directions, int first, int* marks) {
    Float4 lo[kLanes], hi[kLanes];
    Int4 any[kLanes], settled[kLanes];
    for (int j = 0; j < kLanes; ++j) {
        lo[j] = load4(below + first + 4 * j);
        hi[j] = load4(above + first + 4 * j);
        any[j] = Int4{0, 0, 0, 0};
        // A bright centre (c >= 100) is settled from the start.
        settled[j] = ~(load4(cells + first + 4 * j) < Float4{100, 100, 100, 100});
    }
    const Int4 rule = Line ? Int4{12, 12, 12, 12} : Int4{2, 2, 2, 2};
    for (std::size_t d = 0; d < directions; ++d) {
        // The block stops once every centre is bright or marked.
        Int4 done = settled[0] | any[0];
        for (int j = 1; j < kLanes; ++j) done &= settled[j] | any[j];
        if ((done[0] & done[1] & done[2] & done[3]) == -1) break;
        const std::ptrdiff_t* offsets = table + d * PerDirection;
        Int4 n[kLanes];
        for (int j = 0; j < kLanes; ++j) n[j] = Int4{0, 0, 0, 0};
        const auto count = [&](int from, int to) {
            for (int p = from; p < to; ++p) {
                const float* v = cells + offsets[p] + first;
                for (int j = 0; j < kLanes; ++j) {
                    const Float4 x = load4(v + 4 * j);
                    n[j] -= (lo[j] <= x) & (x <= hi[j]);
                }
            }
        };
        if constexpr (Line) {
            // The 8 farthest points first: a centre with 3 of them dissimilar cannot reach 13.
            count(0, 8);
            Int4 open = (n[0] > Int4{5, 5, 5, 5}) & ~(settled[0] | any[0]);
            for (int j = 1; j < kLanes; ++j) open |= (n[j] > Int4{5, 5, 5, 5}) & ~(settled[j] | any[j]);
            if ((open[0] | open[1] | open[2] | open[3]) == 0) continue;
            count(8, PerDirection);
        } else {
            count(0, PerDirection);
        }
        for (int j = 0; j < kLanes; ++j) {
            if constexpr (Line) any[j] |= n[j] > rule;
            else any[j] |= n[j] == rule;
        }
    }
    for (int j = 0; j < kLanes; ++j)
        for (int k = 0; k < 4; ++k) marks[first + 4 * j + k] = any[j][k] != 0;
}

// The same for one centre.
template <bool Line, int PerDirection>
inline int markOne(const float* cells, float below, float above, const std::ptrdiff_t* table, std::size_t directions,
                   int x) {
    for (std::size_t d = 0; d < directions; ++d) {
        const std::ptrdiff_t* offsets = table + d * PerDirection;
        int n = 0;
        for (int p = 0; p < PerDirection; ++p) {
            const float v = cells[offsets[p] + x];
            n += static_cast<int>(below <= v) & static_cast<int>(v <= above);
        }
        if (countMarks<Line>(n)) return 1;
    }
    return 0;
}

// The direction tables of a rule for the positions r .. lastX - r and r .. lastY - r of a grid.
struct FigureTables {
    AxisClasses xs, ys;
    std::vector<std::vector<std::ptrdiff_t>> flat;  // per (y class, x class): each direction's points in turn
};

FigureTables figureTables(const FigureRule& rule, int lastX, int lastY, std::ptrdiff_t stride) {
    const int r = rule.halfLength;
    const int perDirection = 2 * r - 1;
    const std::vector<DirectionPoint> points = directionPoints(rule);
    FigureTables t;
    t.xs = axisClasses(points, true, r, lastX - r);
    t.ys = axisClasses(points, false, r, lastY - r);
    for (const auto& dy : t.ys.offsets)
        for (const auto& dx : t.xs.offsets) {
            const DirectionTable table = directionTable(dx, dy, perDirection, stride);
            std::vector<std::ptrdiff_t> flat;
            for (const auto& offsets : table) flat.insert(flat.end(), offsets.begin(), offsets.end());
            t.flat.push_back(std::move(flat));
        }
    return t;
}

// The tables of every position of the standard work grids, worked out once per rule (a position's
// offsets depend on the position alone, not on the extent of the field).
const FigureTables& workGridTables(const FigureRule& rule) {
    constexpr std::ptrdiff_t kStride = imaging::kGridMax + 1;
    static const FigureTables line = figureTables(kLineRule, imaging::kGridMax, imaging::kGridMax, kStride);
    static const FigureTables dot = figureTables(kDotRule, imaging::kGridMax, imaging::kGridMax, kStride);
    return rule.line ? line : dot;
}

template <bool Line>
double drawFigure(const FloatGrid& h, int extentX, int extentY, PictureSurface& figure, const FigureRule& rule) {
    if (extentX > h.maxX() || extentY > h.maxY()) throw imaging::RunError::subscriptOutOfRange();
    const int r = rule.halfLength;
    constexpr int kPerDirection = Line ? 2 * kLineRule.halfLength - 1 : 2 * kDotRule.halfLength - 1;
    const bool workGrid = h.maxX() == imaging::kGridMax && h.maxY() == imaging::kGridMax;
    FigureTables own;
    if (!workGrid) own = figureTables(rule, extentX, extentY, h.maxX() + 1);
    const FigureTables& t = workGrid ? workGridTables(rule) : own;
    const AxisClasses& xs = t.xs;
    const AxisClasses& ys = t.ys;
    const std::size_t xClasses = xs.offsets.size();

    // Each row is worked out for runs of positions that share a table, a block of centres at a
    // time, and written to the figure from its top-left (column 1, row 1); positions beyond the
    // surface are dropped as psetAt drops them.
    const imaging::Colour dark = imaging::greyColour(0), light = imaging::greyColour(256);
    const int first = r, last = extentX - r;
    const int width = last - first + 1;
    // Kept per thread from call to call (a batch draws figures of the same size again and again).
    thread_local std::vector<float> below, above;
    thread_local std::vector<int> marks;
    const std::size_t columns0 = std::size_t(std::max(width, 0));
    if (below.size() < columns0) {
        below.resize(columns0);
        above.resize(columns0);
        marks.resize(columns0);
    }
    long long marked = 0;
    int row = 0;
    for (int y = r; y <= extentY - r; ++y) {
        ++row;
        const float* cells = &h.cell(0, y) + first;  // centre first + i at cells[i]
        const std::vector<std::ptrdiff_t>* tableRow = &t.flat[std::size_t(ys.classOf[std::size_t(y - r)]) * xClasses];
        for (int i = 0; i < width; ++i) {
            const SimilarRange range = similarRange(cells[i]);
            below[std::size_t(i)] = range.below;
            above[std::size_t(i)] = range.above;
        }
        int i = 0;
        while (i < width) {
            const int runStart = i;
            const int cls = xs.classOf[std::size_t(i)];
            int end = i + 1;
            while (end < width && xs.classOf[std::size_t(end)] == cls) ++end;
            const std::vector<std::ptrdiff_t>& table = tableRow[std::size_t(cls)];
            const std::size_t directions = table.size() / kPerDirection;
            for (; i + kBlock <= end; i += kBlock)
                markBlock<Line, kPerDirection>(cells, below.data(), above.data(), table.data(), directions, i,
                                               marks.data());
            // The last centres of a long run are worked out again as one block that ends with the run.
            if (i < end && end - kBlock >= runStart) {
                markBlock<Line, kPerDirection>(cells, below.data(), above.data(), table.data(), directions,
                                               end - kBlock, marks.data());
                i = end;
            }
            for (; i < end; ++i)
                marks[std::size_t(i)] = markOne<Line, kPerDirection>(cells, below[std::size_t(i)],
                                                                     above[std::size_t(i)], table.data(), directions, i);
        }
        for (int k = 0; k < width; ++k) {
            // Bright centres (c >= 100) count no similar point in any direction.
            const bool flag = marks[std::size_t(k)] != 0 && cells[k] < 100;
            figure.psetAt(k + 1, row, flag ? dark : light);
            marked += flag;
        }
    }
    const long long columns = extentX - 2 * r + 1, rows = extentY - 2 * r + 1;
    const long long total = columns > 0 && rows > 0 ? columns * rows : 0;
    if (total == 0) throw imaging::RunError::divisionByZero();
    return static_cast<double>(marked) / static_cast<double>(total);
}

}  // namespace

double lineFigure(const FloatGrid& gridB, int extentX, int extentY, PictureSurface& figure) {
    return drawFigure<true>(gridB, extentX, extentY, figure, kLineRule);
}

double dotFigure(const FloatGrid& gridB, int extentX, int extentY, PictureSurface& figure) {
    return drawFigure<false>(gridB, extentX, extentY, figure, kDotRule);
}

}  // namespace texturemeter
