// "axis": the centroid of the outline's dark pixels and its longest and shortest radius.

#include <cmath>
#include <vector>

#include "imaging/colour.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

namespace {

constexpr imaging::Colour kRed = 0x000000FF;
constexpr imaging::Colour kMagenta = 0x00FF00FF;

struct DarkPixels {
    std::vector<int> x, y;
    long long sumX = 0, sumY = 0;
};

// Every pixel of x, y = 1..300 whose mean grey is below 30, in scan order.
DarkPixels collectDarkPixels(const imaging::PictureSurface& outline) {
    DarkPixels d;
    for (int y = 1; y <= 300; ++y) {
        for (int x = 1; x <= 300; ++x) {
            if (imaging::meanGreyOf(outline.pointAt(x, y)) < 30.0) {
                d.x.push_back(x);
                d.y.push_back(y);
                d.sumX += x;
                d.sumY += y;
            }
        }
    }
    return d;
}

// The red cross: the centroid and its four diagonal neighbours, each coordinate as a float.
void markCentroid(imaging::PictureSurface& axisView, double cx, double cy) {
    auto f = [](double v) { return static_cast<double>(static_cast<float>(v)); };
    axisView.pset(f(cx), f(cy), kRed);
    axisView.pset(f(cx - 1), f(cy - 1), kRed);
    axisView.pset(f(cx + 1), f(cy + 1), kRed);
    axisView.pset(f(cx - 1), f(cy + 1), kRed);
    axisView.pset(f(cx + 1), f(cy - 1), kRed);
}

// Distances from the centroid, each with a random tie-breaker below 1/5000, in single precision;
// the first farthest and the first nearest pixel.
template <typename Random>
void findRadii(const DarkPixels& d, double cx, double cy, Random& random, std::size_t& kMax, std::size_t& kMin) {
    const std::size_t n = d.x.size();
    std::vector<float> distance(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double dx = d.x[k] - cx;
        const double dy = d.y[k] - cy;
        distance[k] = static_cast<float>(std::sqrt(dx * dx + dy * dy) + random.next() / 5000.0);
    }
    float dMax = distance[0], dMin = distance[0];
    for (float v : distance) {
        if (v > dMax) dMax = v;
        if (v < dMin) dMin = v;
    }
    kMax = kMin = n;
    for (std::size_t k = 0; k < n; ++k) {
        if (kMax == n && distance[k] == dMax) kMax = k;
        if (kMin == n && distance[k] == dMin) kMin = k;
    }
}

}  // namespace

AxisResults measureAxis(const imaging::PictureSurface& outline, imaging::PictureSurface& axisView,
                        imaging::UniformRandom& random) {
    AxisResults r;
    const DarkPixels d = collectDarkPixels(outline);
    r.darkPixels = static_cast<long long>(d.x.size());
    if (d.x.empty()) return r;
    const double n = static_cast<double>(d.x.size());
    r.centroidX = static_cast<double>(d.sumX) / n;
    r.centroidY = static_cast<double>(d.sumY) / n;
    markCentroid(axisView, r.centroidX, r.centroidY);

    std::size_t kMax = 0, kMin = 0;
    if (auto* fast = dynamic_cast<imaging::FastRandom*>(&random))
        findRadii(d, r.centroidX, r.centroidY, *fast, kMax, kMin);
    else
        findRadii(d, r.centroidX, r.centroidY, random, kMax, kMin);
    r.farthestX = d.x[kMax];
    r.farthestY = d.y[kMax];
    r.nearestX = d.x[kMin];
    r.nearestY = d.y[kMin];
    axisView.line(r.centroidX, r.centroidY, r.farthestX, r.farthestY, kMagenta);
    axisView.line(r.centroidX, r.centroidY, r.nearestX, r.nearestY, kMagenta);
    return r;
}

}  // namespace lesionmeter
