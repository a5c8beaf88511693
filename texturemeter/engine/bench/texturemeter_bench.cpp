// Speed of each stage of a texture analysis and of the whole run, on a side-200 square of the
// bundled skin sample (decoding excluded).

#include <benchmark/benchmark.h>

#include <string>

#include "imaging/cpu.hpp"
#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "testdata/reference_data.hpp"
#include "texturemeter/run_driver.hpp"
#include "texturemeter/stages.hpp"

namespace {

using namespace texturemeter;

const imaging::Image& photo() {
    static const imaging::Image image = imaging::loadImageFile(morph::testdata::samplePath("skin_sample.jpg"));
    return image;
}

constexpr RegionSquare kSquare{20, 30, 200};

// The state a run has when each stage starts: grids, monochrome and Hessian pictures.
struct Prepared {
    WorkGrids grids;
    PictureSurface greyPicture{201, 201}, hessianPicture{201, 201}, figurePicture{201, 201};
    GreyImageSums sums;
    Prepared() {
        sums = prepareGreyImage(PhotoView(photo()), kSquare, Variant::A, grids.gridA, grids.gridB, greyPicture);
        hessianImage(grids.gridB, sums.extentX, sums.extentY, 3, hessianPicture);
        greyPicture.setPicture(greyPicture.image());
        hessianPicture.setPicture(hessianPicture.image());
    }
};

void BM_prepareGreyImage(benchmark::State& state) {
    WorkGrids grids;
    PictureSurface greyPicture(201, 201);
    const Variant v = static_cast<Variant>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(prepareGreyImage(PhotoView(photo()), kSquare, v, grids.gridA, grids.gridB, greyPicture));
}
BENCHMARK(BM_prepareGreyImage)->Arg(0)->Arg(1)->Arg(2);

void BM_hessianImage(benchmark::State& state) {
    Prepared p;
    for (auto _ : state) hessianImage(p.grids.gridB, 200, 200, 3, p.hessianPicture);
}
BENCHMARK(BM_hessianImage);

// The same on the sse2 path, as on a processor without AVX2.
void BM_hessianImageSse2Path(benchmark::State& state) {
    Prepared p;
    imaging::chooseVectorPath(imaging::VectorPath::sse2);
    for (auto _ : state) hessianImage(p.grids.gridB, 200, 200, 3, p.hessianPicture);
    imaging::chooseVectorPath(imaging::widestVectorPath());
}
BENCHMARK(BM_hessianImageSse2Path);

void BM_loadGreyGrid(benchmark::State& state) {
    Prepared p;
    for (auto _ : state) benchmark::DoNotOptimize(loadGreyGrid(p.greyPicture, 200, p.grids.gridA, p.grids.gridB));
}
BENCHMARK(BM_loadGreyGrid);

void BM_tiledDimensionStatistics(benchmark::State& state) {
    Prepared p;
    loadGreyGrid(p.greyPicture, 200, p.grids.gridA, p.grids.gridB);
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    std::array<float, 501> tiles{};
    for (auto _ : state)
        benchmark::DoNotOptimize(tiledDimensionStatistics(p.grids.gridA, 200, 200, 40, sizes, areas, tiles));
}
BENCHMARK(BM_tiledDimensionStatistics);

void BM_greySurfaceStage(benchmark::State& state) {
    Prepared p;
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    for (auto _ : state)
        benchmark::DoNotOptimize(greySurfaceStage(p.greyPicture, p.hessianPicture, 200, 40, p.grids, sizes, areas,
                                                  [](const std::string&) {}));
}
BENCHMARK(BM_greySurfaceStage);

// The same on the sse2 path, as on a processor without AVX2.
void BM_greySurfaceStageSse2Path(benchmark::State& state) {
    Prepared p;
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    imaging::chooseVectorPath(imaging::VectorPath::sse2);
    for (auto _ : state)
        benchmark::DoNotOptimize(greySurfaceStage(p.greyPicture, p.hessianPicture, 200, 40, p.grids, sizes, areas,
                                                  [](const std::string&) {}));
    imaging::chooseVectorPath(imaging::widestVectorPath());
}
BENCHMARK(BM_greySurfaceStageSse2Path);

// The same keeping the fits behind the dimensions (whole windows, every tile's dimension and R²).
void BM_greySurfaceStageWithFits(benchmark::State& state) {
    Prepared p;
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    GreySurfaceFits fits;
    for (auto _ : state)
        benchmark::DoNotOptimize(greySurfaceStage(p.greyPicture, p.hessianPicture, 200, 40, p.grids, sizes, areas,
                                                  [](const std::string&) {}, nullptr, &fits));
}
BENCHMARK(BM_greySurfaceStageWithFits);

// The Hessian image and the grey-surface stage for a square of side range(0) in variant range(1)
// (0 = A, 1 = B, 2 = C); the window is 40 for sides up to 200, else 25 (tiles of 40 would leave
// the 501-cell grid at side 499).
struct PreparedAt {
    WorkGrids grids;
    PictureSurface greyPicture, hessianPicture;
    GreyImageSums sums;
    double window;
    int16_t side;
    explicit PreparedAt(const benchmark::State& state)
        : greyPicture(int(state.range(0)) + 1, int(state.range(0)) + 1),
          hessianPicture(int(state.range(0)) + 1, int(state.range(0)) + 1),
          window(state.range(0) <= 200 ? 40 : 25),
          side(static_cast<int16_t>(state.range(0))) {
        const RegionSquare square{10, 10, side};
        sums = prepareGreyImage(PhotoView(photo()), square, static_cast<Variant>(state.range(1)), grids.gridA,
                                grids.gridB, greyPicture);
        hessianImage(grids.gridB, sums.extentX, sums.extentY, 3, hessianPicture);
        greyPicture.setPicture(greyPicture.image());
        hessianPicture.setPicture(hessianPicture.image());
    }
};

void BM_hessianImageAt(benchmark::State& state) {
    PreparedAt p(state);
    for (auto _ : state) hessianImage(p.grids.gridB, p.sums.extentX, p.sums.extentY, 3, p.hessianPicture);
}
BENCHMARK(BM_hessianImageAt)->ArgsProduct({{200, 499}, {0, 1, 2}});

void BM_greySurfaceStageAt(benchmark::State& state) {
    PreparedAt p(state);
    BoxSizes sizes{};
    std::array<float, 201> areas{};
    for (auto _ : state)
        benchmark::DoNotOptimize(greySurfaceStage(p.greyPicture, p.hessianPicture, p.side, p.window, p.grids, sizes, areas,
                                                  [](const std::string&) {}));
}
BENCHMARK(BM_greySurfaceStageAt)->ArgsProduct({{200, 499}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);

void BM_lineFigure(benchmark::State& state) {
    Prepared p;
    loadGreyGrid(p.hessianPicture, 200, p.grids.gridA, p.grids.gridB);
    for (auto _ : state) benchmark::DoNotOptimize(lineFigure(p.grids.gridB, 200, 200, p.figurePicture));
}
BENCHMARK(BM_lineFigure);

void BM_dotFigure(benchmark::State& state) {
    Prepared p;
    loadGreyGrid(p.hessianPicture, 200, p.grids.gridA, p.grids.gridB);
    for (auto _ : state) benchmark::DoNotOptimize(dotFigure(p.grids.gridB, 200, 200, p.figurePicture));
}
BENCHMARK(BM_dotFigure);

// Both figures on the sse2 path, as on a processor without AVX2.
void BM_lineFigureSse2Path(benchmark::State& state) {
    imaging::chooseVectorPath(imaging::VectorPath::sse2);
    BM_lineFigure(state);
    imaging::chooseVectorPath(imaging::widestVectorPath());
}
BENCHMARK(BM_lineFigureSse2Path);

void BM_dotFigureSse2Path(benchmark::State& state) {
    imaging::chooseVectorPath(imaging::VectorPath::sse2);
    BM_dotFigure(state);
    imaging::chooseVectorPath(imaging::widestVectorPath());
}
BENCHMARK(BM_dotFigureSse2Path);

void BM_outlineStageAndLineDimension(benchmark::State& state) {
    Prepared p;
    imaging::FastRandom random(1);
    for (auto _ : state) {
        p.grids.clear();
        outlineStage(p.greyPicture, 4, p.grids.gridA, p.figurePicture, random);
        benchmark::DoNotOptimize(lineDimension(p.figurePicture));
    }
}
BENCHMARK(BM_outlineStageAndLineDimension);

void BM_colourToneStatistics(benchmark::State& state) {
    Prepared p;
    for (auto _ : state)
        benchmark::DoNotOptimize(colourToneStatistics(p.greyPicture, 200, p.grids.gridA, p.grids.gridB));
}
BENCHMARK(BM_colourToneStatistics);

void BM_randomTextureSampling(benchmark::State& state) {
    Prepared p;
    imaging::FastRandom random(1);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            randomTextureSampling(p.grids.gridA, p.sums.heightSum, p.sums.heightCount, 200, random));
}
BENCHMARK(BM_randomTextureSampling);

// The whole analysis of one square: result row and sampling line, pictures frozen in memory.
void BM_wholeAnalysis(benchmark::State& state) {
    TextureParameters parameters;
    parameters.variant = static_cast<Variant>(state.range(0));
    parameters.region = kSquare;
    imaging::FastRandom random(1);
    for (auto _ : state) benchmark::DoNotOptimize(analyseSquare(PhotoView(photo()), parameters, random));
}
BENCHMARK(BM_wholeAnalysis)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The whole analysis keeping the fits behind its dimensions as well.
void BM_wholeAnalysisWithFits(benchmark::State& state) {
    TextureParameters parameters;
    parameters.variant = static_cast<Variant>(state.range(0));
    parameters.region = kSquare;
    imaging::FastRandom random(1);
    TextureFits fits;
    for (auto _ : state) benchmark::DoNotOptimize(analyseSquare(PhotoView(photo()), parameters, random, &fits));
}
BENCHMARK(BM_wholeAnalysisWithFits)->Arg(0)->Unit(benchmark::kMillisecond);

// The same on one reused workspace, as each worker of a batch runs it.
void BM_wholeAnalysisReused(benchmark::State& state) {
    TextureParameters parameters;
    parameters.variant = static_cast<Variant>(state.range(0));
    parameters.region = kSquare;
    imaging::FastRandom random(1);
    RunWorkspace workspace;
    for (auto _ : state) benchmark::DoNotOptimize(analyseSquare(PhotoView(photo()), parameters, random, workspace));
}
BENCHMARK(BM_wholeAnalysisReused)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
