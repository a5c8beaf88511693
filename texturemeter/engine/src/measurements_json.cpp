// Texture measurements as JSON and back.

#include "texturemeter/measurements_json.hpp"

#include <array>
#include <optional>

#include "imaging/loglog_fit_json.hpp"
#include "imaging/report.hpp"
#include "texturemeter/measurement_names.hpp"

namespace texturemeter {

using imaging::exactNumber;

namespace {

// A number of the report: single-precision values as their exact value, doubles so that they
// read back bit for bit; an interval as [low, high] or null.
Json numberJson(float v) { return exactNumber(v); }
Json numberJson(double v) { return exactNumber(v); }
Json numberJson(const std::optional<std::array<double, 2>>& ci) {
    return ci ? Json::array({exactNumber((*ci)[0]), exactNumber((*ci)[1])}) : Json(nullptr);
}

template <class Group>
Json groupJson(const Group& g) {
    Json j = Json::object();
    visitFields(g, [&](const char* name, const auto& value) { j[name] = numberJson(value); });
    return j;
}

// Reads a number of the report back (every name must be present).
void readNumber(const Json& j, float& v) { v = j.get<float>(); }
void readNumber(const Json& j, double& v) { v = j.get<double>(); }
void readNumber(const Json& j, std::optional<std::array<double, 2>>& ci) {
    if (j.is_null())
        ci.reset();
    else
        ci = std::array<double, 2>{j.at(0).get<double>(), j.at(1).get<double>()};
}

template <class Group>
void readGroup(const Json& j, Group& g) {
    visitFields(g, [&](const char* name, auto& value) { readNumber(j.at(name), value); });
}

}  // namespace

Json toJson(const TiledDimension& d) { return groupJson(d); }
Json toJson(const ToneStatistics& t) { return groupJson(t); }
Json toJson(const TextureSampling& s) { return groupJson(s); }

Json toJson(const TextureMeasurements& m) {
    Json j = Json::object();
    visitMeasurements(
        m, [&](const char* name, const auto& group) { j[name] = groupJson(group); },
        [&](const char* name, const auto& value) { j[name] = numberJson(value); });
    return j;
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

TextureMeasurements textureMeasurementsFromJson(const Json& j) {
    TextureMeasurements m;
    visitMeasurements(
        m, [&](const char* name, auto& group) { readGroup(j.at(name), group); },
        [&](const char* name, auto& value) { readNumber(j.at(name), value); });
    return m;
}

}  // namespace texturemeter
