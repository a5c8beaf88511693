// Line and dot figures: dark pixels of the Hessian height field that lie on a long straight run
// of similar heights (line) or have exactly one similar neighbour in some direction (dot).

#include <algorithm>
#include <cmath>
#include <cstddef>
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

// The number of similar points (c - 10 < v < c + 10) among `count` offsets, without branches.
inline int similarPoints(const float* centre, const std::ptrdiff_t* offsets, int count, double lo, double hi) {
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const double v = centre[offsets[i]];
        n += static_cast<int>(lo < v) & static_cast<int>(v < hi);
    }
    return n;
}

// Whether some direction around the pixel at `centre` satisfies the rule. A line direction is
// given up when its farthest points already hold more dissimilar points than the rule allows.
inline bool marksPixel(const float* centre, double lo, double hi, const DirectionTable& table, const FigureRule& rule,
                       int lineMisses) {
    for (const auto& offsets : table) {
        const int count = static_cast<int>(offsets.size());
        if (rule.line) {
            constexpr int kFirst = 8;
            const int first = similarPoints(centre, offsets.data(), kFirst, lo, hi);
            if (kFirst - first > lineMisses) continue;
            const int n = first + similarPoints(centre, offsets.data() + kFirst, count - kFirst, lo, hi);
            if (n > 2 * rule.halfLength - 4) return true;
        } else if (similarPoints(centre, offsets.data(), count, lo, hi) == 2) {
            return true;
        }
    }
    return false;
}

// The direction tables of a rule for the positions r .. lastX - r and r .. lastY - r of a grid.
struct FigureTables {
    AxisClasses xs, ys;
    std::vector<DirectionTable> tables;  // per (y class, x class)
};

FigureTables figureTables(const FigureRule& rule, int lastX, int lastY, std::ptrdiff_t stride) {
    const int r = rule.halfLength;
    const int perDirection = 2 * r - 1;
    const std::vector<DirectionPoint> points = directionPoints(rule);
    FigureTables t;
    t.xs = axisClasses(points, true, r, lastX - r);
    t.ys = axisClasses(points, false, r, lastY - r);
    for (const auto& dy : t.ys.offsets)
        for (const auto& dx : t.xs.offsets) t.tables.push_back(directionTable(dx, dy, perDirection, stride));
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

double drawFigure(const FloatGrid& h, int extentX, int extentY, PictureSurface& figure, const FigureRule& rule) {
    if (extentX > h.maxX() || extentY > h.maxY()) throw imaging::RunError::subscriptOutOfRange();
    const int r = rule.halfLength;
    const int perDirection = 2 * r - 1;
    const bool workGrid = h.maxX() == imaging::kGridMax && h.maxY() == imaging::kGridMax;
    FigureTables own;
    if (!workGrid) own = figureTables(rule, extentX, extentY, h.maxX() + 1);
    const FigureTables& t = workGrid ? workGridTables(rule) : own;
    const AxisClasses& xs = t.xs;
    const AxisClasses& ys = t.ys;
    const std::vector<DirectionTable>& tables = t.tables;
    // A line direction fails after more than this many dissimilar points.
    const int lineMisses = perDirection - (2 * r - 4) - 1;

    long long total = 0, marked = 0;
    int row = 0;
    for (int y = r; y <= extentY - r; ++y) {
        ++row;
        int column = 0;
        const std::size_t tableRow = std::size_t(ys.classOf[std::size_t(y - r)]) * xs.offsets.size();
        for (int x = r; x <= extentX - r; ++x) {
            ++total;
            ++column;
            const float c = h.cell(x, y);
            bool flag = false;
            // Bright pixels (c >= 100) count no similar point in any direction.
            if (c < 100) {
                const double lo = static_cast<double>(c) - 10, hi = static_cast<double>(c) + 10;
                const DirectionTable& table = tables[tableRow + std::size_t(xs.classOf[std::size_t(x - r)])];
                flag = marksPixel(&h.cell(x, y), lo, hi, table, rule, lineMisses);
            }
            const int value = flag ? 0 : 256;
            figure.psetAt(column, row, imaging::greyColour(value));
            if (value < 10) ++marked;
        }
    }
    if (total == 0) throw imaging::RunError::divisionByZero();
    return static_cast<double>(marked) / static_cast<double>(total);
}

}  // namespace

double lineFigure(const FloatGrid& gridB, int extentX, int extentY, PictureSurface& figure) {
    return drawFigure(gridB, extentX, extentY, figure, kLineRule);
}

double dotFigure(const FloatGrid& gridB, int extentX, int extentY, PictureSurface& figure) {
    return drawFigure(gridB, extentX, extentY, figure, kDotRule);
}

}  // namespace texturemeter
