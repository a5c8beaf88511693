#pragma once
// The measurement stages of a texture analysis, each a plain function over surfaces and grids.
// The run driver (run_driver.hpp) calls them in the order of a run; benchmarks and tests call
// them one by one.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imaging/colour.hpp"
#include "imaging/errors.hpp"
#include "imaging/loglog_fit.hpp"
#include "imaging/grid.hpp"
#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "imaging/surface.hpp"
#include "texturemeter/measurements.hpp"

namespace texturemeter {

using imaging::FloatGrid;
using imaging::PictureSurface;

// The three run buttons: "Start(A)", "START(B)-Processing of reflection effect",
// "Start (C) Normalization".
enum class Variant { A, B, C };

// Read access to the photograph: the window's surface, a decoded image, or the decoded part of a
// photograph around the analysed square (command-line tool). Positions outside the photograph
// read -1.
class PhotoView {
public:
    PhotoView(const PictureSurface& surface) : surface_(&surface) {}
    PhotoView(const imaging::Image& image) : image_(&image) {}
    PhotoView(const imaging::PictureRegion& region) : region_(&region) {}
    imaging::Colour pointAt(int x, int y) const {
        if (surface_) return surface_->pointAt(x, y);
        if (image_) {
            if (x < 0 || y < 0 || x >= image_->width || y >= image_->height) return imaging::kOutside;
            return image_->at(x, y);
        }
        if (x < 0 || y < 0 || x >= region_->fullWidth || y >= region_->fullHeight) return imaging::kOutside;
        // A read of the photograph outside its decoded part would be a wrong pixel, not an error
        // of the user's: the part is always decoded over everything the run reads.
        if (!region_->holds(x, y)) throw imaging::RunError::subscriptOutOfRange();
        return region_->pixels.at(x - region_->left, y - region_->top);
    }
    // The pixels x0..x1 of row y side by side in memory, the same colours pointAt gives, when the
    // photograph holds all of them; nullptr otherwise (a surface, or a run not wholly inside the
    // decoded pixels), and pointAt must be asked pixel by pixel.
    const imaging::Colour* row(int y, int x0, int x1) const {
        if (x0 > x1 || x0 < 0 || y < 0) return nullptr;
        if (image_) {
            if (x1 >= image_->width || y >= image_->height) return nullptr;
            return &image_->pixels[std::size_t(y) * std::size_t(image_->width) + std::size_t(x0)];
        }
        if (region_) {
            if (x1 >= region_->fullWidth || y >= region_->fullHeight || !region_->holds(x0, y) || !region_->holds(x1, y))
                return nullptr;
            return &region_->pixels.pixels[std::size_t(y - region_->top) * std::size_t(region_->pixels.width) +
                                           std::size_t(x0 - region_->left)];
        }
        return nullptr;
    }
    int width() const { return surface_ ? surface_->width() : image_ ? image_->width : region_->fullWidth; }
    int height() const { return surface_ ? surface_->height() : image_ ? image_->height : region_->fullHeight; }

private:
    const PictureSurface* surface_ = nullptr;
    const imaging::Image* image_ = nullptr;
    const imaging::PictureRegion* region_ = nullptr;
};

// The analysed square: top-left corner in the photograph and side, 16-bit as in the window.
struct RegionSquare {
    int16_t regionX = 0;
    int16_t regionY = 0;
    int16_t regionSide = 200;
};

// The run's work grids (single precision, indices 0..500, first index x), created zero-filled.
// A batch reuses one set per worker: every run starts on grids that read as freshly created ones.
struct WorkGrids {
    FloatGrid gridA = imaging::makeWorkGrid();
    FloatGrid gridB = imaging::makeWorkGrid();
    FloatGrid gridC = imaging::makeWorkGrid();
    // Zero-fills all three (for cells written outside a run).
    void clear();
    // Makes the grids read as freshly created ones for a run of side `regionSide`: zero-fills what
    // the previous run may have written. A run writes cells 0..regionSide + 1 at most (the grid
    // loads take one extra row and column), so only that corner is remembered for the next run.
    void startRun(int regionSide);
    // The outline step's fresh grids: zero-fills what this run may have written so far.
    void clearWritten();

private:
    void zeroCorner(int last);
    // Last index in both directions that may hold a non-zero cell. Fresh grids are all zero
    // (their memory comes zeroed, so a first run touches only the cells it uses); only runs
    // write the grids, and each run says how far.
    int written_ = -1;
};

// The form-level box-size table (indices 0..30); entries 1..6 receive 1, 2, 4, 5, 10, 20.
using BoxSizes = std::array<int16_t, 31>;

// ---- Monochrome region image (grey_image.cpp) ----

// What the region colour sampling leaves for later stages.
struct GreyImageSums {
    int extentX = -1;            // last column index written (= regionSide)
    int extentY = -1;            // last row index written (= regionSide)
    long long pointCount = 0;    // pixels read, (regionSide + 1)^2
    double heightSum = 0;        // sum of the heights (double)
    long long heightCount = 0;   // pixels read
};

// START(B)'s compression of bright tones: the compressed grey level g for a plain level g0.
double highlightCompression(double g0);
// The height stored for a plain grey level g0 under a variant (A: g0 / 255 x side; B and C:
// g0 / 255 x side for g0 <= 100, highlightCompression(g0) x side / 255 above), before the
// rounding to single precision.
double greyHeight(double g0, int16_t regionSide, Variant variant);

// Reads the square of the photograph into gridA and gridB and draws the grey square into
// `monochromeImage` from its top-left; in Start(C) the grids are then normalized (greyNormalization).
// Throws "Division by zero" for side 0, "Overflow" for corner + side beyond 16 bits and
// "Subscript out of range" for a side above 500.
GreyImageSums prepareGreyImage(PhotoView photo, RegionSquare region, Variant variant, FloatGrid& gridA,
                               FloatGrid& gridB, PictureSurface& monochromeImage);

// The errors prepareGreyImage raises for the square alone (corner + side beyond 16 bits, side
// above 500, negative or 0), before any pixel is read.
void checkRegionSquare(RegionSquare region);

// Start(C)'s normalization of gridA and gridB over 0..extentX x 0..extentY to mean 125 and
// 10 levels per standard deviation, cut to 30..220, stored as v / side x 255.
// Throws "Division by zero" when the standard deviation is 0.
void greyNormalization(FloatGrid& gridA, FloatGrid& gridB, int extentX, int extentY, int16_t regionSide);

// ---- Grey-level height field (grey_height_field.cpp) ----

struct GridLoad {
    int extentX = 0;           // = regionSide
    int extentY = 0;           // = regionSide
    long long pointCount = 0;  // (regionSide + 2)^2
};

// The error loadGreyGrid raises for a side above 499 ("Subscript out of range").
void checkGreyGridSide(int16_t regionSide);

// Samples (regionSide + 2)^2 pixels of `source` from its top-left into gridA and gridB as heights
// greyOf / 255 x regionSide. Throws "Subscript out of range" for a side above 499.
GridLoad loadGreyGrid(const PictureSurface& source, int16_t regionSide, FloatGrid& gridA, FloatGrid& gridB);

// ---- Hessian image (hessian_image.cpp) ----

// The grey (76..234) that the Hessian angle of second differences fxx, fyy maps to.
int hessianGrey(float fxx, float fyy);
// Draws the curvature-character image of gridB into `hessianPicture` for x, y = d + 1 .. extent - d.
void hessianImage(const FloatGrid& gridB, int extentX, int extentY, int hessianDistance, PictureSurface& hessianPicture);

// ---- Line and dot figures (line_dot_figures.cpp) ----

// Marks dark pixels of gridB on long straight runs of similar heights into `figure` (from (1, 1))
// and returns the share of marked pixels (" Line-"). Throws "Division by zero" when no pixel is visited.
double lineFigure(const FloatGrid& gridB, int extentX, int extentY, PictureSurface& figure);
// Marks dark pixels with exactly two similar points in some direction (" dot-").
double dotFigure(const FloatGrid& gridB, int extentX, int extentY, PictureSurface& figure);

// ---- Surface-area fractal dimension (surface_dimension.cpp) ----

// Area of the surface of gridA over the box with lower corner (x, y) and side s (two triangles).
double boxSurfaceArea(const FloatGrid& gridA, int x, int y, int s);
// The same for one row of n boxes of side s between the grid rows `top` and `bottom` (unchecked):
// box i has the corners (xs[i], top), (xs1[i], top), (xs[i], bottom) and (xs1[i], bottom).
// Several boxes at a time where the processor allows, each area as boxSurfaceArea gives it.
void boxRowAreas(const float* top, const float* bottom, const int* xs, const int* xs1, std::size_t n, int s,
                 double* areas);
// Dimension 2 - slope of ln area against ln box size over the window of side `windowSize` with
// lower corner (X, Y). Writes boxSizes 1..6 and area table entries 1..6 (areaTable indices 1..200).
// Throws "Invalid procedure call or argument" (ln 0) for a window below 20.
double surfaceAreaDimension(const FloatGrid& gridA, double X, double Y, double windowSize, BoxSizes& boxSizes,
                            std::array<float, 201>& areaTable);
// The same over the window at the grid origin, with its own fresh area table ("FR tatal").
// With `fit`, also the fit behind it.
double wholeWindowDimension(const FloatGrid& gridA, double windowSize, BoxSizes& boxSizes,
                            imaging::Fit* fit = nullptr);
// The fit behind a window's dimension from the box sizes (entries 1..6) and the area totals
// (entries 1..6) the window left: the points (ln s, ln area), the same slope and dimension.
imaging::Fit surfaceAreaFit(const BoxSizes& boxSizes, const float* areas);
// R² of that fit alone (cheaper, for every tile).
double surfaceAreaRSquared(const BoxSizes& boxSizes, const float* areas);

// ---- Tiled fractal statistics and the grey-surface stage (tiled_statistics.cpp) ----

struct TileStatistics {
    int n = 0;          // number of tiles
    float mean = 0;     // single precision
    double sd = 0;      // population standard deviation
    std::optional<std::array<double, 2>> meanCi95;  // see TiledDimension::meanDimensionCi95
};

// The sampling interval of the mean of dimensions[0..n-1]: mean +- t(0.975, n - 1) x s / sqrt(n),
// s the sample standard deviation (n - 1), all in double precision; none for n < 2.
std::optional<std::array<double, 2>> meanInterval95(const float* dimensions, int n);

// Population standard deviation (double precision) of gridA over the cells 0..regionSide + 1 in
// both directions: the height field loadGreyGrid has just written.
double heightFieldSd(const FloatGrid& gridA, int16_t regionSide);

// One tile's dimension as the statistics take it (single precision) and the R² of its fit.
struct TileFit {
    float dimension = 0;
    double rSquared = 0;
};

// The fits behind the surface dimensions of one image: the window at the grid origin (for the
// monochrome image the one reported as "FR tatal") and every tile, column by column.
struct SurfaceFits {
    imaging::Fit wholeWindow;
    std::vector<TileFit> tiles;
};

// Dimension of every tile (column by column) into tileDimensions(1..n) and their mean and sd.
// With `tileFits`, also every tile's dimension and R², and with `originFit` the whole fit of the
// first tile (the window at the grid origin).
TileStatistics tiledDimensionStatistics(const FloatGrid& gridA, int extentX, int extentY, double windowSize,
                                        BoxSizes& boxSizes, std::array<float, 201>& areaTable,
                                        std::array<float, 501>& tileDimensions,
                                        std::vector<TileFit>* tileFits = nullptr, imaging::Fit* originFit = nullptr);

// The errors the tiled statistics and the whole-window dimension raise for a square of side
// `regionSide` and tiles of side `windowSize` whatever the picture ("Subscript out of range" for
// tiles or boxes beyond the grid or more than 500 tiles, "Invalid procedure call or argument"
// for a window below 20, "Division by zero" for no tile).
void checkTileLayout(int16_t regionSide, double windowSize);

// The surface-area dimensions of both images (the result row's first seven numbers).
struct GreySurfaceResults {
    TiledDimension monochrome;
    TiledDimension hessian;
    double totalDimension = 0;
};

// The fits behind the grey-surface stage: the monochrome image's whole window is "FR tatal"; the
// Hessian image's whole window is its first tile.
struct GreySurfaceFits {
    SurfaceFits monochrome;
    SurfaceFits hessian;
};

// Prints a status word into the status picture (clearing it first) and lets the window know.
using StatusPrinter = std::function<void(const std::string& word)>;

// Monochrome variation ("白黒変化"), Hessian ("ヘシアン") and monochrome whole ("白黒全体"):
// loads each picture into gridA/gridB and measures it with tiles of side `windowSize`. Leaves
// gridA/gridB holding the monochrome heights.
GreySurfaceResults greySurfaceStage(const PictureSurface& monochromeImage, const PictureSurface& hessianImage,
                                    int16_t regionSide, double windowSize, WorkGrids& grids,
                                    BoxSizes& boxSizes, std::array<float, 201>& areaTable,
                                    const StatusPrinter& status, GridLoad* lastLoad = nullptr,
                                    GreySurfaceFits* fits = nullptr);

// ---- Bright-region outline and its dimension (outline_stage.cpp) ----

struct OutlineResult {
    double meanB = 0, meanG = 0, meanR = 0;  // random-sampled channel means of the monochrome image
    int extentX = 0, extentY = 0;            // last indices of the threshold scan
};

// Thresholds `monochromeImage` against its random-sampled mean colour (reseeds `random` from the clock),
// and draws the outline at neighbour distance `neighbourDistance` (as typed), then at distance 2,
// into `figure` (cleared first). gridA ends holding the re-threshold map.
OutlineResult outlineStage(const PictureSurface& monochromeImage, double neighbourDistance, FloatGrid& gridA,
                           PictureSurface& figure, imaging::UniformRandom& random);
// "line fr dim": box-counting dimension of `figure` over 200 x 200, sides 1, 2, 5, 10, 20.
// With `fit`, also the fit behind it.
double lineDimension(const PictureSurface& figure, imaging::Fit* fit = nullptr);

// ---- Colour-tone deviation (colour_tone.cpp) ----

struct ColourToneResult {
    ToneStatistics tone;
    GridLoad load;
};

ColourToneResult colourToneStatistics(const PictureSurface& monochromeImage, int16_t regionSide, FloatGrid& gridA,
                                      FloatGrid& gridB);

// ---- Random texture sampling (texture_sampling.cpp) ----

// Probes gridA at random places (reseeds `random` from the clock first).
TextureSampling randomTextureSampling(const FloatGrid& gridA, double heightSum, long long heightCount,
                                      int16_t regionSide, imaging::UniformRandom& random);

}  // namespace texturemeter
