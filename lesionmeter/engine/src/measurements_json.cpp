// Lesion measurements as JSON and back.

#include "lesionmeter/measurements_json.hpp"

#include "imaging/loglog_fit_json.hpp"

namespace lesionmeter {

namespace {

using imaging::exactNumber;

template <typename T>
Json valueOrNull(bool present, T value) {
    return present ? exactNumber(value) : Json();
}

template <typename T>
T read(const Json& j, const char* name) {
    return j.at(name).get<T>();
}

}  // namespace

Json toJson(const LesionMeasurements& m) {
    const Discriminant w = m.weights.value_or(Discriminant{});
    const bool weighed = m.weights.has_value();
    const SampleMeans means = m.means.value_or(SampleMeans{});
    const bool sampled = m.means.has_value();
    const FractalResults f = m.fractal.value_or(FractalResults{});
    const bool measured = m.fractal.has_value();
    const AxisResults a = m.axis.value_or(AxisResults{});
    const bool centred = m.axis.has_value();
    return {
        {"weightRed", valueOrNull(weighed, w.weightRed)},
        {"weightGreen", valueOrNull(weighed, w.weightGreen)},
        {"weightBlue", valueOrNull(weighed, w.weightBlue)},
        {"squareWeightRed", valueOrNull(weighed, w.squareWeightRed)},
        {"squareWeightGreen", valueOrNull(weighed, w.squareWeightGreen)},
        {"squareWeightBlue", valueOrNull(weighed, w.squareWeightBlue)},
        {"inMeanRed", valueOrNull(sampled, means.inRed)},
        {"inMeanGreen", valueOrNull(sampled, means.inGreen)},
        {"inMeanBlue", valueOrNull(sampled, means.inBlue)},
        {"outMeanRed", valueOrNull(sampled, means.outRed)},
        {"outMeanGreen", valueOrNull(sampled, means.outGreen)},
        {"outMeanBlue", valueOrNull(sampled, means.outBlue)},
        {"outlineDimension", valueOrNull(measured, f.outlineDimension)},
        {"profileRow140", valueOrNull(measured, f.profiles.upperRow)},
        {"profileRow170", valueOrNull(measured, f.profiles.lowerRow)},
        {"profileColumn140", valueOrNull(measured, f.profiles.leftColumn)},
        {"profileColumn170", valueOrNull(measured, f.profiles.rightColumn)},
        {"profileDimension", valueOrNull(measured, f.profileDimension)},
        {"centroidX", valueOrNull(centred, a.centroidX)},
        {"centroidY", valueOrNull(centred, a.centroidY)},
        {"longRadiusEndX", centred ? Json(a.farthestX) : Json()},
        {"longRadiusEndY", centred ? Json(a.farthestY) : Json()},
        {"shortRadiusEndX", centred ? Json(a.nearestX) : Json()},
        {"shortRadiusEndY", centred ? Json(a.nearestY) : Json()},
    };
}

Json toJson(const FractalFits& fits) {
    return {{"outline", imaging::toJson(fits.outline)},
            {"profileRow140", imaging::toJson(fits.row140)},
            {"profileRow170", imaging::toJson(fits.row170)},
            {"profileColumn140", imaging::toJson(fits.column140)},
            {"profileColumn170", imaging::toJson(fits.column170)}};
}

Json toJson(const LesionMeasurements& m, const FractalFits& fits) {
    Json j = toJson(m);
    if (m.fractal) j["fits"] = toJson(fits);
    return j;
}

LesionMeasurements lesionMeasurementsFromJson(const Json& j) {
    LesionMeasurements m;
    if (!j.at("weightRed").is_null())
        m.weights = Discriminant{read<float>(j, "weightRed"),       read<float>(j, "weightGreen"),
                                 read<float>(j, "weightBlue"),      read<float>(j, "squareWeightRed"),
                                 read<float>(j, "squareWeightGreen"), read<float>(j, "squareWeightBlue")};
    if (!j.at("inMeanRed").is_null())
        m.means = SampleMeans{read<float>(j, "inMeanRed"),  read<float>(j, "inMeanGreen"),  read<float>(j, "inMeanBlue"),
                              read<float>(j, "outMeanRed"), read<float>(j, "outMeanGreen"), read<float>(j, "outMeanBlue")};
    if (!j.at("outlineDimension").is_null()) {
        FractalResults f;
        f.outlineDimension = read<double>(j, "outlineDimension");
        f.profiles.upperRow = read<double>(j, "profileRow140");
        f.profiles.lowerRow = read<double>(j, "profileRow170");
        f.profiles.leftColumn = read<double>(j, "profileColumn140");
        f.profiles.rightColumn = read<double>(j, "profileColumn170");
        f.profileDimension = read<double>(j, "profileDimension");
        m.fractal = f;
    }
    if (!j.at("centroidX").is_null()) {
        AxisResults a;
        a.centroidX = read<double>(j, "centroidX");
        a.centroidY = read<double>(j, "centroidY");
        a.farthestX = read<int>(j, "longRadiusEndX");
        a.farthestY = read<int>(j, "longRadiusEndY");
        a.nearestX = read<int>(j, "shortRadiusEndX");
        a.nearestY = read<int>(j, "shortRadiusEndY");
        m.axis = a;
    }
    return m;
}

}  // namespace lesionmeter
