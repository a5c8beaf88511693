// "loadcal": the reloaded outline picture redrawn as a one-pixel boundary. Grey-128 pixels that
// touch a near-black pixel become black, pixels touching no near-black pixel of strong contrast
// become white, the rest keep the reloaded picture.

#include <cmath>

#include "imaging/colour.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

namespace {

constexpr int kNeighbourDx[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
constexpr int kNeighbourDy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};

// Mean grey of a colour in single precision.
float meanGreyFloat(imaging::Colour c) {
    const imaging::Channels ch = imaging::splitColour(c);
    return static_cast<float>((ch.blue + ch.green + ch.red) / 3.0);
}

// First pass: outlineGrid(x, y) for x = 0..scanWidth, y = 0..scanHeight.
void readOutlineGrid(const imaging::PictureSurface& outline, AnalysisState& state) {
    for (int y = 0; static_cast<float>(y) <= state.scanHeight; ++y)
        for (int x = 0; static_cast<float>(x) <= state.scanWidth; ++x)
            state.outlineGrid(x, y) = meanGreyFloat(outline.pointAt(x, y));
}

// Second pass over 2..extent-2.
void redrawBoundary(const AnalysisState& state, imaging::PictureSurface& outline) {
    const imaging::FloatGrid& grid = state.outlineGrid;
    for (int y = 2; static_cast<float>(y) <= state.scanHeight - 2.0f; ++y) {
        for (int x = 2; static_cast<float>(x) <= state.scanWidth - 2.0f; ++x) {
            const float c = grid(x, y);
            int count = 0;
            for (int i = 0; i < 8; ++i) {
                const float v = grid(x + kNeighbourDx[i], y + kNeighbourDy[i]);
                if (v < 10.0f && std::fabs(c - v) > 110.0f) ++count;
            }
            if (c == 128.0f && count >= 1)
                outline.psetAt(x, y, imaging::kBlack);
            else if (count == 0)
                outline.psetAt(x, y, imaging::kWhite);
        }
    }
}

}  // namespace

void redrawReloadedOutline(AnalysisState& state, imaging::PictureSurface& outline) {
    readOutlineGrid(outline, state);
    outline.setAutoRedraw(true);
    outline.cls();
    redrawBoundary(state, outline);
}

}  // namespace lesionmeter
