// Speed of the lesion analyzer's commands on the 320 x 240 lesion photograph: "Calc + Draw"
// (typical and with the search running to its iteration limit), LINE, "Fractal calc" and "axis".

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "testdata/reference_data.hpp"

namespace {

using lesionmeter::LesionSession;
using Points = std::vector<morph::testdata::Click>;

const morph::testdata::LesionReference& reference() { return morph::testdata::lesionReference(); }

// A session with the reference photograph loaded and sampled at the given points and the
// reference centre.
struct Analysis {
    imaging::FastRandom random{reference().seed};
    LesionSession session{random};

    Analysis(const Points& in, const Points& out) {
        const std::filesystem::path photo(reference().image);
        session.openChooser();
        session.loadImage(photo.parent_path().string(), photo.filename().string());
        session.selectIn();
        for (auto [x, y] : in) session.leftClick(float(x), float(y));
        session.selectOut();
        for (auto [x, y] : out) session.leftClick(float(x), float(y));
        session.rightClick(float(reference().centre.x), float(reference().centre.y));
    }
};

void CalcAndDraw(benchmark::State& state) {
    Analysis a(reference().in, reference().out);
    for (auto _ : state) {
        a.session.calcAndDraw();
        benchmark::DoNotOptimize(a.session.state().weightRed);
    }
    state.counters["accepted"] = a.session.acceptedSetCount();
}
BENCHMARK(CalcAndDraw)->Unit(benchmark::kMillisecond);

// Six IN and six OUT samples of the very same pixel: no set separates them, so the search runs
// all 1,500,001 iterations and chooses zero weights.
void CalcAndDrawSearchLimitSameColours(benchmark::State& state) {
    Analysis a(Points(6, {160, 120}), Points(6, {160, 120}));
    for (auto _ : state) {
        a.session.calcAndDraw();
        benchmark::DoNotOptimize(a.session.state().weightRed);
    }
    state.counters["accepted"] = a.session.acceptedSetCount();
}
BENCHMARK(CalcAndDrawSearchLimitSameColours)->Unit(benchmark::kMillisecond);

// Pairs 1..4 separable, pairs 5 and 6 the same pixel inside and out: a set fails only at the
// last two pairs, so most iterations score all twelve colours before failing.
void CalcAndDrawSearchLimitLastPairsFail(benchmark::State& state) {
    Points in(reference().in.begin(), reference().in.begin() + 4), out(reference().out.begin(), reference().out.begin() + 4);
    in.insert(in.end(), {{160, 120}, {140, 105}});
    out.insert(out.end(), {{160, 120}, {140, 105}});
    Analysis a(in, out);
    for (auto _ : state) {
        a.session.calcAndDraw();
        benchmark::DoNotOptimize(a.session.state().weightRed);
    }
    state.counters["accepted"] = a.session.acceptedSetCount();
}
BENCHMARK(CalcAndDrawSearchLimitLastPairsFail)->Unit(benchmark::kMillisecond);

// The analysis with the reference weights, ready for the outline commands.
std::unique_ptr<Analysis> analysedLesion() {
    auto a = std::make_unique<Analysis>(reference().in, reference().out);
    const auto& w = reference().weights;
    a->session.calcAndDrawWithWeights({w[0], w[1], w[2], w[3], w[4], w[5]});
    return a;
}

void Line(benchmark::State& state) {
    auto a = analysedLesion();
    for (auto _ : state) {
        a->session.selectLine();
        benchmark::DoNotOptimize(a->session.pictures().outline.revision());
    }
}
BENCHMARK(Line)->Unit(benchmark::kMillisecond);

void FractalCalc(benchmark::State& state) {
    auto a = analysedLesion();
    a->session.selectLine();
    for (auto _ : state) {
        a->session.measureFractalDimensions();
        benchmark::DoNotOptimize(a->session.fractalResults().outlineDimension);
    }
}
BENCHMARK(FractalCalc)->Unit(benchmark::kMillisecond);

void Axis(benchmark::State& state) {
    auto a = analysedLesion();
    a->session.selectLine();
    for (auto _ : state) {
        a->session.measureAxis();
        benchmark::DoNotOptimize(a->session.axisResults().centroidX);
    }
}
BENCHMARK(Axis)->Unit(benchmark::kMillisecond);

}  // namespace
