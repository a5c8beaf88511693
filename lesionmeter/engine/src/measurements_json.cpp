// Lesion measurements as JSON and back.

#include "lesionmeter/measurements_json.hpp"

#include "imaging/loglog_fit_json.hpp"
#include "lesionmeter/measurement_names.hpp"

namespace lesionmeter {

namespace {

using imaging::exactNumber;

template <typename T>
T read(const Json& j, const char* name) {
    return j.at(name).get<T>();
}

}  // namespace

Json toJson(const LesionMeasurements& m) {
    Json j = Json::object();
    for (const LesionMeasurementName& entry : kLesionMeasurementNames) {
        const MeasuredValue value = entry.read(m);
        if (const float* f = std::get_if<float>(&value)) j[entry.name] = exactNumber(*f);
        else if (const double* d = std::get_if<double>(&value)) j[entry.name] = exactNumber(*d);
        else if (const int* i = std::get_if<int>(&value)) j[entry.name] = *i;
        else j[entry.name] = nullptr;
    }
    return j;
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
