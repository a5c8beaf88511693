// The four luminance profiles of "Calc + Draw": rows 140 and 170 and columns 140 and 170 of the
// photograph, x or y = 70..230, plotted as black polylines on one common baseline.

#include <array>

#include "imaging/colour.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

namespace {

constexpr int kSamples = 161;
using Profile = std::array<float, kSamples + 1>;

// Luminance in double, kept in single precision; outside the picture it is 255.
float luminance(const imaging::PictureSurface& picture, int x, int y) {
    return static_cast<float>(imaging::greyOf(picture.pointAt(x, y)));
}

// 30 - P1(3) * 40 / 255, product and quotient in single precision: puts the third sample of the
// first row at y = 30.
float plotBaseline(const Profile& first) {
    const float scaled = first[3] * 40.0f / 255.0f;
    return 30.0f - scaled;
}

void plotProfile(imaging::PictureSurface& strip, const Profile& p, float baseline) {
    for (int k = 2; k <= kSamples; ++k) {
        const float y1 = baseline + p[k - 1] * 40.0f / 255.0f;
        const float y2 = baseline + p[k] * 40.0f / 255.0f;
        strip.line(2.0 * (k - 1), y1, 2.0 * k, y2, imaging::kBlack);
    }
}

}  // namespace

void plotLuminanceProfiles(const imaging::PictureSurface& photo, imaging::PictureSurface& upperRow,
                           imaging::PictureSurface& leftColumn, imaging::PictureSurface& lowerRow,
                           imaging::PictureSurface& rightColumn) {
    upperRow.cls();
    leftColumn.cls();
    lowerRow.cls();
    rightColumn.cls();

    Profile p1{}, p2{}, p3{}, p4{};
    int k = 0;
    for (int x = 70; x <= 230; ++x) {
        ++k;
        p1[k] = luminance(photo, x, 140);
        p2[k] = luminance(photo, x, 140 + 30);
    }
    const float baseline = plotBaseline(p1);
    plotProfile(upperRow, p1, baseline);
    plotProfile(lowerRow, p2, baseline);

    k = 0;
    for (int y = 70; y <= 230; ++y) {
        ++k;
        p3[k] = luminance(photo, 140, y);
        p4[k] = luminance(photo, 140 + 30, y);
    }
    plotProfile(leftColumn, p3, baseline);
    plotProfile(rightColumn, p4, baseline);
}

}  // namespace lesionmeter
