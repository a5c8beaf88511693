// Line and dot figures: dark pixels of the Hessian height field that lie on a long straight run
// of similar heights (line) or have exactly one similar neighbour in some direction (dot).

#include <cmath>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
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

// One point of a direction: the offset Int(x + cos t x k) - x for every x, which is the same
// whole number for all x unless x + cos t x k can round up to the next whole number.
struct DirectionPoint {
    double ox, oy;   // cos t x k, sin t x k
    int dx, dy;      // Int(ox), Int(oy)
    bool exact;      // dx, dy hold for every position
};

bool offsetIsUniform(double o) {
    const double f = o - std::floor(o);
    return f == 0 || 1 - f > 1e-9;
}

std::vector<DirectionPoint> directionPoints(const FigureRule& rule) {
    std::vector<DirectionPoint> points;
    const int r = rule.halfLength;
    for (int angle = 0; angle <= 360; angle += rule.angleStep) {
        const double theta = 3.141593 / 180 * angle;
        const double cs = std::cos(theta), sn = std::sin(theta);
        for (int k = -r + 1; k <= r - 1; ++k) {
            DirectionPoint p;
            p.ox = cs * k;
            p.oy = sn * k;
            p.dx = static_cast<int>(std::floor(p.ox));
            p.dy = static_cast<int>(std::floor(p.oy));
            p.exact = offsetIsUniform(p.ox) && offsetIsUniform(p.oy);
            points.push_back(p);
        }
    }
    return points;
}

double drawFigure(const FloatGrid& h, int extentX, int extentY, PictureSurface& picture7, const FigureRule& rule) {
    if (extentX > h.maxX() || extentY > h.maxY()) throw imaging::RunError::subscriptOutOfRange();
    const int r = rule.halfLength;
    const int perDirection = 2 * r - 1;
    const std::vector<DirectionPoint> points = directionPoints(rule);
    const int directions = static_cast<int>(points.size()) / perDirection;
    // A line direction fails after more than this many dissimilar points.
    const int lineMisses = perDirection - (2 * r - 4) - 1;

    long long total = 0, marked = 0;
    int row = 0;
    for (int y = r; y <= extentY - r; ++y) {
        ++row;
        int column = 0;
        for (int x = r; x <= extentX - r; ++x) {
            ++total;
            ++column;
            const float c = h.cell(x, y);
            bool flag = false;
            // Bright pixels (c >= 100) count no similar point in any direction.
            if (c < 100) {
                const double lo = static_cast<double>(c) - 10, hi = static_cast<double>(c) + 10;
                for (int dir = 0; dir < directions && !flag; ++dir) {
                    const DirectionPoint* p = &points[std::size_t(dir) * std::size_t(perDirection)];
                    int n = 0, misses = 0;
                    for (int i = 0; i < perDirection; ++i) {
                        int px, py;
                        if (p[i].exact) {
                            px = x + p[i].dx;
                            py = y + p[i].dy;
                        } else {
                            px = static_cast<int>(std::floor(x + p[i].ox));
                            py = static_cast<int>(std::floor(y + p[i].oy));
                        }
                        const double v = h.cell(px, py);
                        if (lo < v && v < hi) {
                            ++n;
                            if (!rule.line && n > 2) break;  // a dot needs exactly two
                        } else if (rule.line && ++misses > lineMisses) {
                            break;
                        }
                    }
                    flag = rule.line ? n > 2 * r - 4 : n == 2;
                }
            }
            const int value = flag ? 0 : 256;
            picture7.psetAt(column, row, imaging::greyColour(value));
            if (value < 10) ++marked;
        }
    }
    picture7.pset(-1, -1, imaging::kWhite);  // nothing drawn; lets a window see the change
    if (total == 0) throw imaging::RunError::divisionByZero();
    return static_cast<double>(marked) / static_cast<double>(total);
}

}  // namespace

double lineFigure(const FloatGrid& gridB, int extentX, int extentY, PictureSurface& picture7) {
    return drawFigure(gridB, extentX, extentY, picture7, kLineRule);
}

double dotFigure(const FloatGrid& gridB, int extentX, int extentY, PictureSurface& picture7) {
    return drawFigure(gridB, extentX, extentY, picture7, kDotRule);
}

}  // namespace texturemeter
