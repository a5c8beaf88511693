// Tiled fractal statistics and the grey-surface stage: the surface-area dimension of every tile
// of the monochrome and Hessian images (mean, standard deviation, ratio) and of one window.

#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "texturemeter/run_driver.hpp"
#include "texturemeter/stages.hpp"

namespace texturemeter {

TileStatistics tiledDimensionStatistics(const FloatGrid& gridA, int extentX, int extentY, double windowSize,
                                        BoxSizes& boxSizes, std::array<float, 201>& areaTable,
                                        std::array<float, 501>& tileDimensions, std::vector<TileFit>* tileFits,
                                        imaging::Fit* originFit) {
    TileStatistics stats;
    if (tileFits) tileFits->clear();
    const double lastX = extentX - 1, lastY = extentY - 1;
    for (double X = 0; X <= lastX; X += windowSize) {
        for (double Y = 0; Y <= lastY; Y += windowSize) {
            ++stats.n;
            if (stats.n >= static_cast<int>(tileDimensions.size())) throw imaging::RunError::subscriptOutOfRange();
            tileDimensions[stats.n] =
                static_cast<float>(surfaceAreaDimension(gridA, X, Y, windowSize, boxSizes, areaTable));
            if (tileFits)
                tileFits->push_back({tileDimensions[stats.n], surfaceAreaRSquared(boxSizes, areaTable.data())});
            if (originFit && stats.n == 1) *originFit = surfaceAreaFit(boxSizes, areaTable.data());
        }
    }
    if (stats.n == 0) throw imaging::RunError::divisionByZero();
    // Sum, mean and variance in single precision; the root in double.
    const float n = static_cast<float>(stats.n);
    float sum = 0.0f;
    for (int i = 1; i <= stats.n; ++i) sum += tileDimensions[i];
    stats.mean = sum / n;
    float squares = 0.0f;
    for (int i = 1; i <= stats.n; ++i) {
        const float d = tileDimensions[i] - stats.mean;
        squares += d * d;
    }
    const float variance = squares / n;
    stats.sd = std::sqrt(static_cast<double>(variance));
    stats.meanCi95 = meanInterval95(&tileDimensions[1], stats.n);
    return stats;
}

std::optional<std::array<double, 2>> meanInterval95(const float* dimensions, int n) {
    if (n < 2) return std::nullopt;
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += dimensions[i];
    const double mean = sum / n;
    double squares = 0;
    for (int i = 0; i < n; ++i) squares += (dimensions[i] - mean) * (dimensions[i] - mean);
    const double halfWidth = imaging::studentTTwoSided(0.95, n - 1) * std::sqrt(squares / (n - 1)) / std::sqrt(n);
    return std::array<double, 2>{mean - halfWidth, mean + halfWidth};
}

double heightFieldSd(const FloatGrid& gridA, int16_t regionSide) {
    checkGreyGridSide(regionSide);
    const int end = regionSide + 1;
    if (end < 0) return 0;
    const double count = double(end + 1) * (end + 1);
    double sum = 0;
    for (int y = 0; y <= end; ++y)
        for (int x = 0; x <= end; ++x) sum += gridA.cell(x, y);
    const double mean = sum / count;
    double squares = 0;
    for (int y = 0; y <= end; ++y)
        for (int x = 0; x <= end; ++x) {
            const double d = gridA.cell(x, y) - mean;
            squares += d * d;
        }
    return std::sqrt(squares / count);
}

void checkTileLayout(int16_t regionSide, double windowSize) {
    // Whether a tile or one of its boxes leaves the grid, the tiles are too many, or a box size
    // finds no box, depends on the positions only: on a flat surface every box still has an
    // area (at least its side squared), so the same errors arise as on any picture.
    // A batch checks the same pair for every image: a pair that passed is remembered per thread,
    // and the flat grid is made once.
    thread_local std::optional<std::pair<int16_t, double>> passed;
    if (passed && passed->first == regionSide && std::memcmp(&passed->second, &windowSize, sizeof windowSize) == 0)
        return;
    static const FloatGrid flat = imaging::makeWorkGrid();
    BoxSizes boxSizes{};
    std::array<float, 201> areaTable{};
    std::array<float, 501> tileDimensions{};
    tiledDimensionStatistics(flat, regionSide, regionSide, windowSize, boxSizes, areaTable, tileDimensions);
    wholeWindowDimension(flat, windowSize, boxSizes);
    passed = {regionSide, windowSize};
}

GreySurfaceResults greySurfaceStage(const PictureSurface& monochromeImage, const PictureSurface& hessianImage,
                                    int16_t regionSide, double windowSize, WorkGrids& grids,
                                    BoxSizes& boxSizes, std::array<float, 201>& areaTable,
                                    const StatusPrinter& status, GridLoad* lastLoad, GreySurfaceFits* fits) {
    std::array<float, 501> tileDimensions{};
    GreySurfaceResults r;

    status(status::kMonochromeVariation);
    GridLoad load = loadGreyGrid(monochromeImage, regionSide, grids.gridA, grids.gridB);
    if (lastLoad) *lastLoad = load;
    TileStatistics mono =
        tiledDimensionStatistics(grids.gridA, load.extentX, load.extentY, windowSize, boxSizes, areaTable, tileDimensions,
                                 fits ? &fits->monochrome.tiles : nullptr);
    r.monochrome = {mono.mean, mono.sd, mono.sd / static_cast<double>(mono.mean),
                    heightFieldSd(grids.gridA, regionSide), mono.meanCi95};

    status(status::kHessian);
    load = loadGreyGrid(hessianImage, regionSide, grids.gridA, grids.gridB);
    if (lastLoad) *lastLoad = load;
    TileStatistics hess =
        tiledDimensionStatistics(grids.gridA, load.extentX, load.extentY, windowSize, boxSizes, areaTable, tileDimensions,
                                 fits ? &fits->hessian.tiles : nullptr, fits ? &fits->hessian.wholeWindow : nullptr);
    r.hessian = {hess.mean, hess.sd, hess.sd / static_cast<double>(hess.mean), heightFieldSd(grids.gridA, regionSide),
                 hess.meanCi95};

    status(status::kMonochromeWhole);
    load = loadGreyGrid(monochromeImage, regionSide, grids.gridA, grids.gridB);
    if (lastLoad) *lastLoad = load;
    r.totalDimension =
        wholeWindowDimension(grids.gridA, windowSize, boxSizes, fits ? &fits->monochrome.wholeWindow : nullptr);
    return r;
}

}  // namespace texturemeter
