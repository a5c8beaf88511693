// Hessian image: the curvature character of the grey surface (second differences along x and y
// combined into one angle) drawn as a grey level.

#include <cmath>

#include "imaging/colour.hpp"
#include "imaging/numeric.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

int hessianGrey(float fxx, float fyy) {
    const double xx = fxx, yy = fyy;
    const double m = std::sqrt(xx * xx + yy * yy);
    const double q = (xx - yy) * (xx - yy) + 4 * m * m;
    double t = xx + yy;
    if (t == 0) t = 0.0001;
    const double a = std::atan(std::sqrt(q) / t);
    const double v = 50 * (a + 1.7) + 70;
    return imaging::roundToInt(v);
}

void hessianImage(const FloatGrid& gridB, int extentX, int extentY, int hessianDistance, PictureSurface& hessianPicture) {
    const int d = hessianDistance;
    if (extentX > gridB.maxX() || extentY > gridB.maxY()) throw imaging::RunError::subscriptOutOfRange();
    for (int y = d + 1; y <= extentY - d; ++y) {
        for (int x = d + 1; x <= extentX - d; ++x) {
            const double centre = gridB.cell(x, y);
            // Second differences in double, each stored once in single precision.
            const float fxx = static_cast<float>(static_cast<double>(gridB.cell(x + d, y)) - 2 * centre +
                                                 static_cast<double>(gridB.cell(x - d, y)));
            const float fyy = static_cast<float>(static_cast<double>(gridB.cell(x, y + d)) - 2 * centre +
                                                 static_cast<double>(gridB.cell(x, y - d)));
            hessianPicture.psetAt(x, y, imaging::greyColour(hessianGrey(fxx, fyy)));
        }
    }
}

}  // namespace texturemeter
