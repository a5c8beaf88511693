// Speed of the lesion analyzer's commands on the 320 x 240 lesion photograph: "Calc + Draw"
// (typical and with the search running to its iteration limit), LINE, "Fractal calc" and "axis".

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"

namespace {

using lesionmeter::LesionSession;
using Points = std::vector<std::pair<float, float>>;

const Points kIn{{160, 120}, {140, 105}, {180, 130}, {150, 145}, {175, 100}, {135, 125}};
const Points kOut{{245, 120}, {220, 180}, {160, 205}, {100, 180}, {75, 120}, {100, 60}, {160, 35}, {220, 60}};

// A session with lesion.jpg loaded and sampled; temporary files go to the system's temp folder.
struct Analysis {
    imaging::FastRandom random{1};
    LesionSession session{random};

    Analysis(const Points& in, const Points& out) {
        session.setTemporaryFolder(std::filesystem::temp_directory_path().string());
        session.openChooser();
        session.loadImage(LESIONMETER_TEST_DATA_DIR, "lesion.jpg");
        session.selectIn();
        for (auto [x, y] : in) session.leftClick(x, y);
        session.selectOut();
        for (auto [x, y] : out) session.leftClick(x, y);
        session.rightClick(160, 120);
    }
};

void CalcAndDraw(benchmark::State& state) {
    Analysis a(kIn, kOut);
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
    Points in(kIn.begin(), kIn.begin() + 4), out(kOut.begin(), kOut.begin() + 4);
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
    auto a = std::make_unique<Analysis>(kIn, kOut);
    a->session.calcAndDrawWithWeights({-0.33987653255462646f, 0.12686161696910858f, -0.013764576986432076f,
                                       0.022703522816300392f, 0.011989961378276348f, -0.08351901918649673f});
    return a;
}

void Line(benchmark::State& state) {
    auto a = analysedLesion();
    for (auto _ : state) {
        a->session.selectLine();
        benchmark::DoNotOptimize(a->session.picture(12).revision());
    }
}
BENCHMARK(Line)->Unit(benchmark::kMillisecond);

void FractalCalc(benchmark::State& state) {
    auto a = analysedLesion();
    a->session.selectLine();
    for (auto _ : state) {
        a->session.fractalCalc();
        benchmark::DoNotOptimize(a->session.fractalResults().frd1);
    }
}
BENCHMARK(FractalCalc)->Unit(benchmark::kMillisecond);

void Axis(benchmark::State& state) {
    auto a = analysedLesion();
    a->session.selectLine();
    for (auto _ : state) {
        a->session.axis();
        benchmark::DoNotOptimize(a->session.axisResults().centroidX);
    }
}
BENCHMARK(Axis)->Unit(benchmark::kMillisecond);

}  // namespace
