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
#include <memory>
#include <utility>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/grid.hpp"
#include "imaging/vector_lanes.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

namespace lanes = imaging::lanes;

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
    // Most points have the same offset at every position; only the others are worked out per
    // position, and a position's class is found by those alone.
    std::vector<int> uniform(points.size());
    std::vector<std::size_t> varying;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double o = alongX ? points[i].ox : points[i].oy;
        if (offsetIsUniform(o)) uniform[i] = static_cast<int>(std::floor(o));
        else varying.push_back(i);
    }
    AxisClasses axis;
    std::vector<std::vector<int>> keys;
    std::vector<int> key(varying.size());
    int previous = -1;
    for (int v = first; v <= last; ++v) {
        for (std::size_t j = 0; j < varying.size(); ++j) {
            const DirectionPoint& p = points[varying[j]];
            key[j] = static_cast<int>(std::floor(v + (alongX ? p.ox : p.oy))) - v;
        }
        // Neighbouring positions mostly share a class.
        int cls = previous >= 0 && keys[std::size_t(previous)] == key
                      ? previous
                      : static_cast<int>(std::find(keys.begin(), keys.end(), key) - keys.begin());
        if (cls == static_cast<int>(keys.size())) {
            keys.push_back(key);
            std::vector<int> offs = uniform;
            for (std::size_t j = 0; j < varying.size(); ++j) offs[varying[j]] = key[j];
            axis.offsets.push_back(std::move(offs));
        }
        axis.classOf.push_back(cls);
        previous = cls;
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
// for the least float `below` greater than c - 10 and the greatest float `above` less than c + 10
// (similarRanges below), which lets a whole run of centres be compared in single precision,
// several at a time.

// Whether a direction's count of similar points satisfies the rule: a line needs more than
// 2r - 4 = 12 of its 15 points, a dot exactly 2 of its 9.
template <bool Line>
inline bool countMarks(int n) {
    if constexpr (Line) return n > 12;
    else return n == 2;
}

// Centres are compared several at a time in the vector types of imaging/vector_lanes.hpp: 1 float
// on the scalar path, 4 on sse2, 8 on avx2. A comparison gives -1 or 0 per lane.
template <class V>
constexpr int kWidthOf = lanes::kLanesOf<V>;
template <class V>
using IntsOf = typename lanes::Words<kWidthOf<V>>::I;
// Unsigned lanes, for the sums and differences of bit patterns and keys that wrap around.
template <class V>
using UnsignedsOf = typename lanes::Words<kWidthOf<V>>::U;
// The same lanes in double precision.
template <class V>
using DoublesOf = typename lanes::Words<kWidthOf<V>>::D;
using Int4 = lanes::Words<4>::I;
using Int8 = lanes::Words<8>::I;
using Double2 = lanes::Doubles<2>::D;
using Double4 = lanes::Doubles<4>::D;
using Double8 = lanes::Doubles<8>::D;

// a <= b lane by lane, as a mask of the float lanes. The comparison is done a register's worth of
// doubles at a time (the compiler would otherwise compare lane by lane).
template <class D, class I>
inline void lessOrEqual(const D& a, const D& b, I& mask) {
    mask = __builtin_convertvector(a <= b, I);
}
inline void lessOrEqual(const Double4& a, const Double4& b, Int4& mask) {
    const Double2 a0 = __builtin_shufflevector(a, a, 0, 1), a1 = __builtin_shufflevector(a, a, 2, 3);
    const Double2 b0 = __builtin_shufflevector(b, b, 0, 1), b1 = __builtin_shufflevector(b, b, 2, 3);
    mask = __builtin_shufflevector(reinterpret_cast<Int4>(a0 <= b0), reinterpret_cast<Int4>(a1 <= b1), 0, 2, 4, 6);
}
inline void lessOrEqual(const Double8& a, const Double8& b, Int8& mask) {
    const Double4 a0 = __builtin_shufflevector(a, a, 0, 1, 2, 3), a1 = __builtin_shufflevector(a, a, 4, 5, 6, 7);
    const Double4 b0 = __builtin_shufflevector(b, b, 0, 1, 2, 3), b1 = __builtin_shufflevector(b, b, 4, 5, 6, 7);
    mask = __builtin_shufflevector(reinterpret_cast<Int8>(a0 <= b0), reinterpret_cast<Int8>(a1 <= b1), 0, 2, 4, 6, 8,
                                   10, 12, 14);
}

using lanes::laneBits;
using lanes::load;

// The similar ranges of the centres c[0 .. width of V - 1]: c - 10 and c + 10 in double rounded
// to float, then `below` raised to the next float up where it is not above c - 10, `above`
// lowered to the next float down where it is not below c + 10.
template <class V>
inline void similarRanges(const float* c, float* below, float* above) {
    using I = IntsOf<V>;
    using D = DoublesOf<V>;
    V centre;
    load(centre, c);
    const D wide = __builtin_convertvector(centre, D);
    const D lo = wide - 10.0, hi = wide + 10.0;
    const V b = __builtin_convertvector(lo, V), a = __builtin_convertvector(hi, V);
    I raise, lower;
    lessOrEqual(__builtin_convertvector(b, D), lo, raise);
    lessOrEqual(hi, __builtin_convertvector(a, D), lower);
    // The next float up from b: +0 and -0 become the least denormal, others step their bit
    // pattern away from zero when positive, towards it when negative; the next float down from a
    // is minus the next float up from -a.
    const I bBits = reinterpret_cast<I>(b), aBits = reinterpret_cast<I>(a);
    const I bZero = b == 0.0f, aZero = a == 0.0f;
    using U = UnsignedsOf<V>;
    const I bStep = reinterpret_cast<I>(reinterpret_cast<U>(bBits) + reinterpret_cast<U>(((b > 0.0f) & 2) - 1));
    const I aStep = reinterpret_cast<I>(reinterpret_cast<U>(aBits) + reinterpret_cast<U>(((a < 0.0f) & 2) - 1));
    const I bUp = (bZero & 1) | (~bZero & bStep);
    const I aDown = (aZero & int(0x80000001u)) | (~aZero & aStep);
    const I belowBits = (raise & bUp) | (~raise & bBits), aboveBits = (lower & aDown) | (~lower & aBits);
    std::memcpy(below, &belowBits, sizeof belowBits);
    std::memcpy(above, &aboveBits, sizeof aboveBits);
}

// Heights as whole numbers in the order of the floats: the bit pattern of a float, its magnitude
// bits flipped when negative. For floats that are not NaN, u < v exactly when key(u) < key(v),
// except that -0 keys just below +0; NaNs key above +infinity or below -infinity.
template <class I>
inline void orderKeys(const I& bits, I& keys) {
    keys = bits ^ ((bits >> 31) & 0x7FFFFFFF);
}

// One centre at a time: the last few of a row, and every one on the scalar path.
using OneLane = lanes::Words<1>::F;

// The keys of cells [0, count) of a row.
template <class V>
inline void orderKeyRow(const float* cells, int* keys, int count) {
    using I = IntsOf<V>;
    constexpr int kWidth = kWidthOf<V>;
    int i = 0;
    for (; i + kWidth <= count; i += kWidth) {
        I bits;
        std::memcpy(&bits, cells + i, sizeof bits);
        I k;
        orderKeys(bits, k);
        std::memcpy(keys + i, &k, sizeof k);
    }
    if constexpr (kWidth > 1) orderKeyRow<OneLane>(cells + i, keys + i, count - i);
}

// A centre's similar range below <= v <= above as a test on keys: with lo and hi the keys of
// below and above (a zero bound taken as -0 below and +0 above, so that both zeros fall inside),
// v is similar when hi - key(v) <= hi - lo as unsigned numbers, that is, with the sign bits
// flipped, when (hi ^ sign) - key(v) <= (hi - lo) ^ sign as signed numbers. Centres whose range
// is empty or not a number have no similar point (`valid` is 0 there). (similarRange gives no
// zero bound for float heights, c -/+ 10 never being that close to zero; the rule is kept whole.)
template <class V>
struct KeyRange {
    IntsOf<V> top;      // hi ^ sign
    IntsOf<V> span;     // (hi - lo) ^ sign
    IntsOf<V> valid;    // -1 where below <= above
};

template <class V>
inline void keyRange(const V& below, const V& above, KeyRange<V>& range) {
    using I = IntsOf<V>;
    const I sign = I{} + int(0x80000000u);
    I lo, hi;
    orderKeys((below == 0.0f) ? sign : reinterpret_cast<I>(below), lo);
    orderKeys((above == 0.0f) ? I{} : reinterpret_cast<I>(above), hi);
    range.top = hi ^ sign;
    using U = UnsignedsOf<V>;
    range.span = reinterpret_cast<I>(reinterpret_cast<U>(hi) - reinterpret_cast<U>(lo)) ^ sign;
    range.valid = below <= above;
}

// Adds -1 to n[j] for each point p in from .. to - 1 of a direction that is not similar to centre
// lane j (n counts the dissimilar points downwards from 0).
template <class V, int Vectors>
inline void countDissimilar(const int* at, const std::ptrdiff_t* offsets, int from, int to, const KeyRange<V>* range,
                            IntsOf<V>* n) {
    using I = IntsOf<V>;
    using U = UnsignedsOf<V>;
#pragma GCC unroll 16
    for (int p = from; p < to; ++p) {
        const int* v = at + offsets[p];
        for (int j = 0; j < Vectors; ++j) {
            U key;
            std::memcpy(&key, v + kWidthOf<V> * j, sizeof key);
            n[j] += reinterpret_cast<I>(reinterpret_cast<U>(range[j].top) - key) > range[j].span;
        }
    }
}

// Marks the centres first .. first + Vectors x (width of V) - 1 of a row (centre i at cells[i],
// its key at keys[i]) that are dark (c < 100) and satisfied by some direction of `table`;
// below/above hold each centre's similar range, marks receives 1 or 0.
template <bool Line, int PerDirection, class V, int Vectors>
inline void markBlock(const float* cells, const int* keys, const float* below, const float* above,
                      const std::ptrdiff_t* table, std::size_t directions, int first, int* marks) {
    using I = IntsOf<V>;
    constexpr int kWidth = kWidthOf<V>;
    constexpr int kAllLanes = (1 << kWidth) - 1;
    KeyRange<V> range[Vectors];
    I any[Vectors], settled[Vectors], bright[Vectors];
    for (int j = 0; j < Vectors; ++j) {
        V lo, hi, c;
        load(lo, below + first + kWidth * j);
        load(hi, above + first + kWidth * j);
        keyRange(lo, hi, range[j]);
        load(c, cells + first + kWidth * j);
        // A bright centre (c >= 100, or not a number) is settled from the start, and so is one
        // without similar points.
        bright[j] = ~(c < 100.0f);
        settled[j] = bright[j] | ~range[j].valid;
        any[j] = I{};
    }
    const int* at = keys + first;
    if constexpr (Line) {
        // Every direction's 8 farthest points first, without a branch per direction: a centre
        // with 3 of them dissimilar cannot reach 13 of 15. Only the directions where some centre
        // is still open then count their other 7 points.
        I start = settled[0];
        for (int j = 1; j < Vectors; ++j) start &= settled[j];
        if (laneBits(start) == kAllLanes) directions = 0;
        for (std::size_t base = 0; base < directions; base += 64) {
            const std::size_t count = std::min<std::size_t>(64, directions - base);
            I n[64][Vectors];
            std::uint64_t pending = 0;
            for (std::size_t d = 0; d < count; ++d) {
                for (int j = 0; j < Vectors; ++j) n[d][j] = I{};
                countDissimilar<V, Vectors>(at, table + (base + d) * PerDirection, 0, 8, range, n[d]);
                I open = (n[d][0] > -3) & ~settled[0];
                for (int j = 1; j < Vectors; ++j) open |= (n[d][j] > -3) & ~settled[j];
                pending |= std::uint64_t(laneBits(open) != 0) << d;
            }
            for (; pending != 0; pending &= pending - 1) {
                const int d = std::countr_zero(pending);
                countDissimilar<V, Vectors>(at, table + (base + std::size_t(d)) * PerDirection, 8, PerDirection, range,
                                            n[d]);
                for (int j = 0; j < Vectors; ++j) any[j] |= (n[d][j] > -3) & ~settled[j];
            }
        }
    } else {
        for (std::size_t d = 0; d < directions; ++d) {
            // The block stops once every centre is settled or marked.
            I done = settled[0];
            for (int j = 1; j < Vectors; ++j) done &= settled[j];
            if (laneBits(done) == kAllLanes) break;
            // Exactly 2 of 9 similar: 7 dissimilar.
            I n[Vectors];
            for (int j = 0; j < Vectors; ++j) n[j] = I{};
            countDissimilar<V, Vectors>(at, table + d * PerDirection, 0, PerDirection, range, n);
            for (int j = 0; j < Vectors; ++j) {
                any[j] |= (n[j] == -7) & ~settled[j];
                settled[j] |= any[j];
            }
        }
    }
    for (int j = 0; j < Vectors; ++j) {
        const I flags = any[j] & 1;
        std::memcpy(marks + first + kWidth * j, &flags, sizeof flags);
    }
}

// The same for one centre.
template <bool Line, int PerDirection>
inline int markOne(const float* cells, float below, float above, const std::ptrdiff_t* table, std::size_t directions,
                   int x) {
    if (!(cells[x] < 100)) return 0;
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

// One row of a figure: its centres, the table class of each and the tables of the row's classes.
struct FigureRow {
    const float* cells;                          // centre i at cells[i]
    const int* keys;                             // the key of cells[i] at keys[i]
    int width;                                   // centres in the row
    const int* classOf;                          // x class of centre i
    const std::vector<std::ptrdiff_t>* tables;   // per x class: each direction's points in turn
    float* below;                                // per centre: its similar range
    float* above;
    int* marks;                                  // per centre: 1 where the figure is dark
};

// Marks the centres of a row: runs of centres that share a table, a block of centres at a time.
template <bool Line, int PerDirection, class V, int Vectors>
inline void markRow(const FigureRow& row) {
    constexpr int kWidth = kWidthOf<V>;
    constexpr int kBlock = kWidth * Vectors;
    const int width = row.width;
    int i = 0;
    for (; i + kWidth <= width; i += kWidth) similarRanges<V>(row.cells + i, row.below + i, row.above + i);
    for (; i < width; ++i) similarRanges<OneLane>(row.cells + i, row.below + i, row.above + i);
    i = 0;
    while (i < width) {
        const int runStart = i;
        const int cls = row.classOf[i];
        int end = i + 1;
        while (end < width && row.classOf[end] == cls) ++end;
        const std::vector<std::ptrdiff_t>& table = row.tables[cls];
        const std::size_t directions = table.size() / PerDirection;
        for (; i + kBlock <= end; i += kBlock)
            markBlock<Line, PerDirection, V, Vectors>(row.cells, row.keys, row.below, row.above, table.data(),
                                                      directions, i, row.marks);
        // The last centres of a long run are worked out again as one block that ends with the run.
        if (i < end && end - kBlock >= runStart) {
            markBlock<Line, PerDirection, V, Vectors>(row.cells, row.keys, row.below, row.above, table.data(),
                                                      directions, end - kBlock, row.marks);
            i = end;
        }
        for (; i < end; ++i)
            row.marks[i] = markOne<Line, PerDirection>(row.cells, row.below[i], row.above[i], table.data(), directions, i);
    }
}

// A block holds two vectors of centres: 2 on the scalar path, 8 on sse2, 16 on avx2.
constexpr int kBlockVectors = 2;

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
    // The keys of the heights the figure reads (rows and columns 0 .. extent), at the grid's layout.
    // Only the keys of columns 0 .. extent are written and read, so the buffer is not cleared.
    thread_local std::unique_ptr<int[]> keys;
    thread_local std::size_t keyCapacity = 0;
    const std::size_t stride = std::size_t(h.maxX()) + 1;
    const std::size_t keyCells = stride * std::size_t(std::max(extentY + 1, 0));
    if (keyCapacity < keyCells) {
        keys = std::make_unique_for_overwrite<int[]>(keyCells);
        keyCapacity = keyCells;
    }
    lanes::dispatch([&](auto path) {
        using V = typename lanes::Words<decltype(path)::kWords>::F;
        for (int y = 0; y <= extentY; ++y)
            orderKeyRow<V>(&h.cell(0, y), keys.get() + stride * std::size_t(y), extentX + 1);
    });
    long long marked = 0;
    int row = 0;
    for (int y = r; y <= extentY - r; ++y) {
        ++row;
        const float* cells = &h.cell(0, y) + first;  // centre first + i at cells[i]
        const std::vector<std::ptrdiff_t>* tableRow = &t.flat[std::size_t(ys.classOf[std::size_t(y - r)]) * xClasses];
        const int* rowKeys = keys.get() + stride * std::size_t(y) + std::size_t(first);
        const FigureRow figureRow{cells,        rowKeys,      width,        xs.classOf.data(),
                                  tableRow,     below.data(), above.data(), marks.data()};
        lanes::dispatch([&](auto path) {
            markRow<Line, kPerDirection, typename lanes::Words<decltype(path)::kWords>::F, kBlockVectors>(figureRow);
        });
        for (int k = 0; k < width; ++k) {
            const bool flag = marks[std::size_t(k)] != 0;
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
