// LINE: the outline of the lesion map drawn into the outline view, and the eraser that cleans it.

#include <cmath>

#include "imaging/colour.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

namespace {

// The eight neighbours in their fixed order.
constexpr int kNeighbourDx[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
constexpr int kNeighbourDy[8] = {-1, -1, -1, 0, 0, 1, 1, 1};

// Pass 1: 0 for a dark cell (c < 50) with a neighbour more than 40 away, 255 otherwise.
void markEdgeCandidates(const imaging::FloatGrid& map, float scanWidth, float scanHeight, imaging::FloatGrid& flags) {
    for (int y = 2; static_cast<float>(y) <= scanHeight - 2.0f; ++y) {
        for (int x = 2; static_cast<float>(x) <= scanWidth - 2.0f; ++x) {
            const float c = map(x, y);
            bool edge = false;
            for (int i = 0; i < 8 && !edge; ++i) {
                const float v = map(x + kNeighbourDx[i], y + kNeighbourDy[i]);
                edge = std::fabs(c - v) > 40.0f;
            }
            flags(x, y) = (edge && c < 50.0f) ? 0.0f : 255.0f;
        }
    }
}

// Pass 2: a candidate stays black unless its neighbours in the map are bright on the whole
// (sum / 7 > 254); every other pixel of the range is white.
void paintOutline(const imaging::FloatGrid& map, const imaging::FloatGrid& flags, float scanWidth, float scanHeight,
                  imaging::PictureSurface& outline) {
    for (int y = 2; static_cast<float>(y) <= scanHeight - 2.0f; ++y) {
        for (int x = 2; static_cast<float>(x) <= scanWidth - 2.0f; ++x) {
            const float s = flags(x, y);
            double sum = 0.0;
            for (int i = 0; i < 8; ++i) sum += map(x + kNeighbourDx[i], y + kNeighbourDy[i]);
            imaging::Colour colour = imaging::kWhite;
            if (s == 0.0f && !(sum / 7.0 > 254.0)) colour = imaging::kBlack;
            outline.psetAt(x, y, colour);
        }
    }
}

}  // namespace

void drawOutline(const AnalysisState& state, imaging::PictureSurface& outline) {
    imaging::FloatGrid edgeFlags = imaging::makeWorkGrid(0.0f);
    markEdgeCandidates(state.greyMap, state.scanWidth, state.scanHeight, edgeFlags);
    paintOutline(state.greyMap, edgeFlags, state.scanWidth, state.scanHeight, outline);
}

void eraseAt(imaging::PictureSurface& outline, EraserMode mode, float x, float y) {
    if (mode == EraserMode::Narrow) {
        outline.line(x - 2.0f, y - 2.0f, x + 1.0f, y + 1.0f, imaging::kWhite, imaging::LineKind::FilledBox);
    } else if (mode == EraserMode::Wide) {
        outline.line(x - 8.0f, y - 8.0f, x + 8.0f, y + 8.0f, imaging::kWhite, imaging::LineKind::FilledBox);
    }
}

}  // namespace lesionmeter
