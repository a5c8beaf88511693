// The lesion map: every pixel of the photograph scored with the colour discriminant into greyMap
// and the lesion map view, then trimmed around the reference centre by the nearest OUT mark.

#include <cmath>
#include <vector>

#include "imaging/colour.hpp"
#include "lesionmeter/stages.hpp"

namespace lesionmeter {

namespace {

// The six terms of the score for every channel value, each computed exactly as the score
// computes it, so that summing them in the score's order gives the same double.
struct ScoreTerms {
    std::array<double, 256> red, green, blue, squareBlue, squareGreen, squareRed;

    explicit ScoreTerms(const Discriminant& d) {
        for (int v = 0; v < 256; ++v) {
            const double x = v;
            red[v] = static_cast<double>(d.weightRed) * x;
            green[v] = static_cast<double>(d.weightGreen) * x;
            blue[v] = static_cast<double>(d.weightBlue) * x;
            squareBlue[v] = static_cast<double>(d.squareWeightBlue) * x * x;
            squareGreen[v] = static_cast<double>(d.squareWeightGreen) * x * x;
            squareRed[v] = static_cast<double>(d.squareWeightRed) * x * x;
        }
    }

    // wR C + wG B + wB A + qB A A + qG B B + qR C C for blue A, green B, red C.
    double score(const imaging::Channels& ch) const {
        return red[ch.red] + green[ch.green] + blue[ch.blue] + squareBlue[ch.blue] + squareGreen[ch.green] +
               squareRed[ch.red];
    }
};

// First pass: 255 where the score is positive, else 0.
void scoreIntoMap(const imaging::PictureSurface& photo, const ScoreTerms& terms, int w, int h,
                  imaging::FloatGrid& map) {
    for (int y = 1; y <= h + 1; ++y) {
        for (int x = 1; x <= w + 1; ++x) {
            const double s = terms.score(imaging::splitColour(photo.pointAt(x, y)));
            map(x - 1, y - 1) = s > 0.0 ? 255.0f : 0.0f;
        }
    }
}

// Second pass: invert when the probes say the background came out dark, and paint the lesion map view.
void settlePolarityAndPaint(imaging::FloatGrid& map, int w, int h, imaging::PictureSurface& lesionMap) {
    const float probeSum = map(4, 4) + map(4, 100) + map(150, 10);
    const bool invert = probeSum <= 255.0f;
    for (int r = 0; r <= h; ++r) {
        for (int c = 0; c <= w; ++c) {
            float& cell = map.cell(c, r);
            if (invert) {
                if (cell == 0.0f)
                    cell = 255.0f;
                else if (cell == 255.0f)
                    cell = 0.0f;
            }
            const int g = static_cast<int>(cell);
            lesionMap.psetAt(c, r, imaging::greyColour(g));
        }
    }
}

template <typename Random>
void trimPixels(AnalysisState& state, imaging::PictureSurface& lesionMap, Random& random) {
    const int marks = state.outCount;
    const double cx = state.centreX;
    const double cy = state.centreY;
    // Each mark's own distance from the centre (the boundary radius when it is the nearest).
    std::vector<double> markX(marks + 1), markY(marks + 1), boundary(marks + 1);
    for (int k = 1; k <= marks; ++k) {
        markX[k] = state.outX[k];
        markY[k] = state.outY[k];
        const double dx = markX[k] - cx;
        const double dy = markY[k] - cy;
        boundary[k] = std::sqrt(dx * dx + dy * dy);
    }
    const int width = static_cast<int>(std::floor(state.scanWidth));
    const int height = static_cast<int>(std::floor(state.scanHeight));
    for (int y = 0; y <= height; ++y) {
        for (int x = 0; x <= width; ++x) {
            // The nearest mark: the last one at the smallest single-precision distance.
            float nearest = 0.0f;
            int kStar = 0;
            for (int k = 1; k <= marks; ++k) {
                const double dx = x - markX[k];
                const double dy = y - markY[k];
                const float d = static_cast<float>(std::sqrt(dx * dx + dy * dy));
                if (kStar == 0 || d <= nearest) {
                    nearest = d;
                    kStar = k;
                }
            }
            random.reseedFromClock();
            const double ex = x - cx;
            const double ey = y - cy;
            const double e = std::sqrt(ex * ex + ey * ey) - boundary[kStar];
            bool whiten = false;
            if (e > 15.0) {
                whiten = true;
            } else if (e > 0.0) {
                whiten = e * random.next() > 4.0;
            }
            if (whiten) {
                lesionMap.psetAt(x, y, imaging::kWhite);
                state.greyMap(x, y) = 255.0f;
            }
        }
    }
}

}  // namespace

void classifyPicture(const imaging::PictureSurface& photo, const Discriminant& d, AnalysisState& state,
                     imaging::PictureSurface& lesionMap) {
    const int w = static_cast<int>(photo.scaleWidth());
    const int h = static_cast<int>(photo.scaleHeight()) - 3;
    if (w > kMaxMapWidth || h > kMaxMapHeight - 3) throw imaging::RunError::subscriptOutOfRange();
    const ScoreTerms terms(d);
    scoreIntoMap(photo, terms, w, h, state.greyMap);
    settlePolarityAndPaint(state.greyMap, w, h, lesionMap);
    state.scanWidth = static_cast<float>(w);
    state.scanHeight = static_cast<float>(h);
}

void trimOutside(AnalysisState& state, imaging::PictureSurface& lesionMap, imaging::UniformRandom& random) {
    if (state.outCount < 1) return;
    if (state.centreX < 20.0f) state.centreX = 155.0f;
    if (state.centreY < 20.0f) state.centreY = 155.0f;
    if (state.scanWidth > kMaxMapWidth || state.scanHeight > kMaxMapWidth) throw imaging::RunError::subscriptOutOfRange();
    if (auto* fast = dynamic_cast<imaging::FastRandom*>(&random))
        trimPixels(state, lesionMap, *fast);
    else
        trimPixels(state, lesionMap, random);
}

}  // namespace lesionmeter
