#pragma once
// The steps behind the session's commands, each usable on its own (tests, benchmarks, the
// command-line tool). They work on AnalysisState and on picture surfaces only.

#include <array>
#include <functional>
#include <string>

#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "lesionmeter/analysis_state.hpp"
#include "lesionmeter/lesion_analysis.hpp"

namespace lesionmeter {

// ---- Colour sampling and profiles ----------------------------------------------------------

// One line of the RGB output file: file name, ",IN," or ",out,", the red, green and blue values
// in print form separated by ",", ",", the luminance text, then CR LF.
std::string rgbOutputLine(const std::string& fileName, SampleClass sampleClass, int red, int green, int blue,
                          const std::string& luminanceText);

// The grey profiles of a right click at (x, y) of the photo: rows y and y + 30 into the upper and
// lower row strips, columns x and x + 30 into the left and right column strips (each cleared first).
void drawClickProfiles(const imaging::PictureSurface& photo, float x, float y, imaging::PictureSurface& upperRow,
                       imaging::PictureSurface& leftColumn, imaging::PictureSurface& lowerRow,
                       imaging::PictureSurface& rightColumn);

// ---- Discriminant search -------------------------------------------------------------------

// A weight set as drawn: linear weights in [-0.5, 0.5), quadratic weights in [-0.25, 0.25).
struct WeightSet {
    double wR, wG, wB, qR, qG, qB;
};

// S = wR R + wG G + wB B + qR R R + qG G G + qB B B, evaluated left to right in double.
inline double discriminantScore(const WeightSet& w, double red, double green, double blue) {
    return w.wR * red + w.wG * green + w.wB * blue + w.qR * red * red + w.qG * green * green + w.qB * blue * blue;
}

// n = min(inCount, outCount, 6): the sample pairs that take part in the search and the means.
int samplePairCount(const AnalysisState& state);

// Draws a weight set: six numbers in the order wR, wG, wB, qR, qG, qB.
WeightSet drawWeightSet(imaging::UniformRandom& random);

// The number of pairs k = 1..n that the set separates under the polarity (inside positive and
// outside negative for polarity 1, the reverse for 0); lastMargin receives Si - So of pair n.
int separatedPairs(const WeightSet& w, const AnalysisState& state, int n, int insidePolarity, double& lastMargin);

// The acceptance rule: at most one of the n pairs not separated (every set for n = 1).
inline bool acceptsSet(int separated, int n) { return separated > n - 2; }

// The polarity phase: 1000 sets, counting positive and negative scores of inside samples 1..n;
// 1 when positive scores outnumber negative ones, else 0.
int insidePolarityOf(imaging::UniformRandom& random, const AnalysisState& state, int n);

// The selection: the smallest margin of candidates 1..m (0 when m = 0), and the last index whose
// margin equals it (0 when m = 0).
struct Selection {
    float minimum = 0.0f;
    int index = 0;
};
Selection selectCandidate(const std::array<float, 8>& margins, int m);

constexpr long long kSearchIterationLimit = 1'500'000;

struct SearchResult {
    int insidePolarity = 0;
    int accepted = 0;                        // m
    long long iterations = 0;                // acceptance-phase iterations run
    std::array<Discriminant, 8> candidates{};   // 1..m (index 0 all zero)
    std::array<float, 8> margins{};
    Selection selection;
    Discriminant chosen;                     // candidates[selection.index]
};

// The polarity phase, then (after `beforeAcceptance`, where the caller shows the sample means)
// the acceptance phase until 7 sets are accepted or the iteration limit is passed, then the
// selection. The generator is used as it is (the caller reseeds it).
SearchResult searchDiscriminant(const AnalysisState& state, imaging::UniformRandom& random,
                                const std::function<void()>& beforeAcceptance,
                                const std::function<void(const AcceptedSet&)>& onAccepted,
                                long long iterationLimit = kSearchIterationLimit);

// The mean of samples 1..n of one channel, summed and divided in single precision.
float sampleMean(const std::array<float, 51>& values, int n);

// The IN / OUT sample means as shown: the prefix, then " R:" style fields of the means of samples 1..n (single
// precision), e.g. "皮疹内-- R: 200.5  G: 120  B: 98.33334".
std::string sampleMeansText(const std::string& prefix, const std::array<float, 51>& red,
                            const std::array<float, 51>& green, const std::array<float, 51>& blue, int n);
inline constexpr const char* kInsidePrefix = "皮疹内-- R:";
inline constexpr const char* kOutsidePrefix = "皮疹外--R:";

// ---- Lesion map and trimming ---------------------------------------------------------------

// The largest photograph the 0..500 map can hold: columns 0..W and rows 0..(height - 3).
constexpr int kMaxMapWidth = 500;
constexpr int kMaxMapHeight = 503;

// Scores every pixel of the photo into greyMap (255 when S > 0, else 0), inverts the map when at
// most one of the three probe cells is 255, paints it into the lesion map view and sets
// scanWidth/scanHeight.
void classifyPicture(const imaging::PictureSurface& photo, const Discriminant& d, AnalysisState& state,
                     imaging::PictureSurface& lesionMap);

// Whitens what lies beyond the nearest OUT mark's distance from the centre, with a dithered
// fringe 15 pixels wide (one generator reseed per pixel, one number per fringe pixel). No OUT
// mark: nothing is trimmed.
void trimOutside(AnalysisState& state, imaging::PictureSurface& lesionMap, imaging::UniformRandom& random);

// ---- Luminance profiles --------------------------------------------------------------------

// Rows 140 and 170, columns 140 and 170 (x, y = 70..230) of the photo into the upper row, lower
// row, left column and right column strips, all on the baseline of the third sample of the first row.
void plotLuminanceProfiles(const imaging::PictureSurface& photo, imaging::PictureSurface& upperRow,
                           imaging::PictureSurface& leftColumn, imaging::PictureSurface& lowerRow,
                           imaging::PictureSurface& rightColumn);

// ---- Outline drawing -----------------------------------------------------------------------

// The two LINE passes: black where a dark cell (c < 50) of greyMap differs by more than 40 from a
// neighbour and its neighbours are dark enough (sum / 7 <= 254), white elsewhere in 2..extent-2.
void drawOutline(const AnalysisState& state, imaging::PictureSurface& outline);

// One eraser step at (x, y) of the outline: a white 4 x 4 ("nar") or 17 x 17 ("wide") square;
// nothing for "put".
void eraseAt(imaging::PictureSurface& outline, EraserMode mode, float x, float y);

// ---- Outline reload ------------------------------------------------------------------------

// The two passes of "loadcal" after the outline file was loaded into the outline view: outlineGrid from
// the picture, then black for grey-128 pixels touching a near-black one, white for pixels touching
// none, the reloaded picture elsewhere.
void redrawReloadedOutline(AnalysisState& state, imaging::PictureSurface& outline);

// ---- Measurements --------------------------------------------------------------------------

// FRD1, the four strip dimensions and FRD2 of the pictures as they are; with `fits`, also the
// fits behind the five dimensions.
FractalResults measureFractalDimensions(const imaging::PictureSurface& outline,
                                        const imaging::PictureSurface& upperRow,
                                        const imaging::PictureSurface& leftColumn,
                                        const imaging::PictureSurface& lowerRow,
                                        const imaging::PictureSurface& rightColumn, FractalFits* fits = nullptr);

// The centroid and radii of the dark pixels (mean grey < 30) of the outline in x, y = 1..300,
// drawn into the axis view (red cross, magenta radii). No dark pixel: darkPixels = 0 and nothing drawn.
AxisResults measureAxis(const imaging::PictureSurface& outline, imaging::PictureSurface& axisView,
                        imaging::UniformRandom& random);

}  // namespace lesionmeter
