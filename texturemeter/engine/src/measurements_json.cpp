// Texture measurements as JSON and back.

#include "texturemeter/measurements_json.hpp"

#include "imaging/loglog_fit_json.hpp"
#include "imaging/report.hpp"

namespace texturemeter {

using imaging::exactNumber;

Json toJson(const TiledDimension& d) {
    const auto& ci = d.meanDimensionCi95;
    return {{"meanDimension", exactNumber(d.meanDimension)},
            {"dimensionSd", exactNumber(d.dimensionSd)},
            {"sdToMean", exactNumber(d.sdToMean)},
            {"heightSd", exactNumber(d.heightSd)},
            {"meanDimensionCi95", ci ? Json::array({exactNumber((*ci)[0]), exactNumber((*ci)[1])}) : Json(nullptr)}};
}

Json toJson(const ToneStatistics& t) {
    return {{"deviation", exactNumber(t.deviation)}, {"histogramSpread", exactNumber(t.histogramSpread)}};
}

Json toJson(const TextureSampling& s) {
    return {{"meanBrightness", exactNumber(s.meanBrightness)},
            {"darkFrameShareR2", exactNumber(s.darkFrameShareR2)},
            {"darkFrameShareR4", exactNumber(s.darkFrameShareR4)},
            {"darkFrameShareR6", exactNumber(s.darkFrameShareR6)},
            {"darkFrameShareR8", exactNumber(s.darkFrameShareR8)},
            {"darkFrameShareR10", exactNumber(s.darkFrameShareR10)},
            {"darkLineShare", exactNumber(s.darkLineShare)},
            {"boxDarknessMean", exactNumber(s.boxDarknessMean)},
            {"boxDarknessSd", exactNumber(s.boxDarknessSd)},
            {"ringBrightnessR5to11", exactNumber(s.ringBrightnessR5to11)},
            {"ringBrightnessR23to29", exactNumber(s.ringBrightnessR23to29)},
            {"ringBrightnessR41to47", exactNumber(s.ringBrightnessR41to47)}};
}

Json toJson(const TextureMeasurements& m) {
    return {{"monochrome", toJson(m.monochrome)},
            {"hessian", toJson(m.hessian)},
            {"totalDimension", exactNumber(m.totalDimension)},
            {"lineShare", exactNumber(m.lineShare)},
            {"dotShare", exactNumber(m.dotShare)},
            {"outlineDimension", exactNumber(m.outlineDimension)},
            {"tone", toJson(m.tone)},
            {"sampling", toJson(m.sampling)}};
}

namespace {

Json surfaceFitsJson(const SurfaceFits& f) {
    Json tiles = Json::array();
    for (const TileFit& t : f.tiles) tiles.push_back({{"dimension", exactNumber(t.dimension)}, {"rSquared", t.rSquared}});
    return {{"wholeWindow", imaging::toJson(f.wholeWindow)}, {"tiles", std::move(tiles)}};
}

}  // namespace

Json toJson(const TextureFits& fits) {
    return {{"outline", imaging::toJson(fits.outline)},
            {"monochrome", surfaceFitsJson(fits.surface.monochrome)},
            {"hessian", surfaceFitsJson(fits.surface.hessian)}};
}

Json toJson(const TextureMeasurements& m, const TextureFits& fits) {
    Json j = toJson(m);
    j["fits"] = toJson(fits);
    return j;
}

namespace {

TiledDimension tiledFromJson(const Json& j) {
    TiledDimension d{j.at("meanDimension").get<float>(), j.at("dimensionSd").get<double>(),
                     j.at("sdToMean").get<double>(), j.at("heightSd").get<double>(), std::nullopt};
    const Json& ci = j.at("meanDimensionCi95");
    if (!ci.is_null()) d.meanDimensionCi95 = std::array<double, 2>{ci.at(0).get<double>(), ci.at(1).get<double>()};
    return d;
}

}  // namespace

TextureMeasurements textureMeasurementsFromJson(const Json& j) {
    TextureMeasurements m;
    m.monochrome = tiledFromJson(j.at("monochrome"));
    m.hessian = tiledFromJson(j.at("hessian"));
    m.totalDimension = j.at("totalDimension").get<double>();
    m.lineShare = j.at("lineShare").get<double>();
    m.dotShare = j.at("dotShare").get<double>();
    m.outlineDimension = j.at("outlineDimension").get<double>();
    const Json& tone = j.at("tone");
    m.tone = {tone.at("deviation").get<double>(), tone.at("histogramSpread").get<float>()};
    const Json& s = j.at("sampling");
    TextureSampling& t = m.sampling;
    t.meanBrightness = s.at("meanBrightness").get<double>();
    t.darkFrameShareR2 = s.at("darkFrameShareR2").get<float>();
    t.darkFrameShareR4 = s.at("darkFrameShareR4").get<float>();
    t.darkFrameShareR6 = s.at("darkFrameShareR6").get<float>();
    t.darkFrameShareR8 = s.at("darkFrameShareR8").get<float>();
    t.darkFrameShareR10 = s.at("darkFrameShareR10").get<float>();
    t.darkLineShare = s.at("darkLineShare").get<double>();
    t.boxDarknessMean = s.at("boxDarknessMean").get<double>();
    t.boxDarknessSd = s.at("boxDarknessSd").get<double>();
    t.ringBrightnessR5to11 = s.at("ringBrightnessR5to11").get<double>();
    t.ringBrightnessR23to29 = s.at("ringBrightnessR23to29").get<double>();
    t.ringBrightnessR41to47 = s.at("ringBrightnessR41to47").get<double>();
    return m;
}

}  // namespace texturemeter
