// Colour sampling: the RGB output line of a sample and the grey profiles of a right click.

#include <array>

#include "imaging/colour.hpp"
#include "imaging/numeric.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

namespace {

// Profile lists hold 161 samples at indices 1..161.
constexpr int kProfileSamples = 161;
using ProfileList = std::array<float, kProfileSamples + 1>;

// Luminance of a point of the photo, computed in double and kept in single precision.
float luminanceAt(const imaging::PictureSurface& picture, double x, double y) {
    return static_cast<float>(imaging::greyOf(picture.point(x, y)));
}

// Height of a luminance in a strip: 0 (black) to 40 (white), single precision.
float profileHeight(float luminance) { return luminance * 40.0f / 255.0f; }

// Draws the polyline of one list into a strip, one sample every 2 pixels from x = 2.
void drawProfile(imaging::PictureSurface& strip, const ProfileList& list) {
    for (int j = 2; j <= kProfileSamples; ++j) {
        strip.line(2.0 * (j - 1), profileHeight(list[j - 1]), 2.0 * j, profileHeight(list[j]), imaging::kBlack);
    }
}

}  // namespace

std::string rgbOutputLine(const std::string& fileName, SampleClass sampleClass, int red, int green, int blue,
                          const std::string& luminanceText) {
    std::string line = fileName;
    line += sampleClass == SampleClass::In ? ",IN," : ",out,";
    line += imaging::printForm(red);
    line += ",";
    line += imaging::printForm(green);
    line += ",";
    line += imaging::printForm(blue);
    line += ",";
    line += luminanceText;
    line += "\r\n";
    return line;
}

void drawClickProfiles(const imaging::PictureSurface& photo, float x, float y, imaging::PictureSurface& upperRow,
                       imaging::PictureSurface& leftColumn, imaging::PictureSurface& lowerRow,
                       imaging::PictureSurface& rightColumn) {
    upperRow.cls();
    leftColumn.cls();
    lowerRow.cls();
    rightColumn.cls();

    ProfileList rowA{}, rowB{}, columnA{}, columnB{};
    const float rowBelow = y + 30.0f;
    const float columnRight = x + 30.0f;
    int n = 0;
    for (int px = 70; px <= 230; ++px) {
        ++n;
        rowA[n] = luminanceAt(photo, px, y);
        rowB[n] = luminanceAt(photo, px, rowBelow);
    }
    drawProfile(upperRow, rowA);
    drawProfile(lowerRow, rowB);

    n = 0;
    for (int py = 70; py <= 230; ++py) {
        ++n;
        columnA[n] = luminanceAt(photo, x, py);
        columnB[n] = luminanceAt(photo, columnRight, py);
    }
    drawProfile(leftColumn, columnA);
    drawProfile(rightColumn, columnB);
}

}  // namespace lesionmeter
