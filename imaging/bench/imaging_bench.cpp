// Speed of the imaging library's hot paths: decoding, pixel reads and box counting.
#include <benchmark/benchmark.h>

#include <string>

#include "imaging/box_counting.hpp"
#include "imaging/colour.hpp"
#include "imaging/image_file.hpp"
#include "imaging/surface.hpp"

namespace {

const std::string kPhoto = std::string(MORPH_TESTDATA_DIR) + "/reference/skin_texture.jpg";

void BM_DecodeJpeg(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(imaging::loadImageFile(kPhoto));
}
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond);

void BM_GreyOfEveryPixel(benchmark::State& state) {
    imaging::PictureSurface surface(0, 0, imaging::SizePolicy::GrowToPicture);
    surface.loadPicture(kPhoto);
    for (auto _ : state) {
        double sum = 0;
        for (int y = 0; y < surface.height(); ++y)
            for (int x = 0; x < surface.width(); ++x) sum += imaging::greyOf(surface.pointAt(x, y));
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_GreyOfEveryPixel)->Unit(benchmark::kMicrosecond);

void BM_BoxCountingOutline(benchmark::State& state) {
    imaging::PictureSurface surface(313, 305);
    for (int i = 0; i < 300; i += 3) surface.line(i, 0, 300 - i, 300, imaging::kBlack);
    for (auto _ : state) benchmark::DoNotOptimize(imaging::boxCountingDimension(surface, imaging::kViewBoxSides));
}
BENCHMARK(BM_BoxCountingOutline)->Unit(benchmark::kMicrosecond);

void BM_FreezeRoundTrip(benchmark::State& state) {
    imaging::PictureSurface surface(201, 201);
    const std::string path = "/tmp/imaging_bench_freeze.bmp";
    for (auto _ : state) imaging::freezeInto(surface, path);
}
BENCHMARK(BM_FreezeRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace
