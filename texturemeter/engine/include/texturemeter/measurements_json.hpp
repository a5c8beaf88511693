#pragma once
// The named measurements of one texture analysis as JSON, the form of texturemeter-cli --json
// (and of anything else that reports one image's measurements). Names are those of
// TextureMeasurements; single-precision values are written as their exact value, doubles so that
// they read back bit for bit.

#include <nlohmann/json.hpp>

#include "texturemeter/measurements.hpp"

namespace texturemeter {

nlohmann::json toJson(const TextureMeasurements& m);
nlohmann::json toJson(const TiledDimension& d);
nlohmann::json toJson(const ToneStatistics& t);
nlohmann::json toJson(const TextureSampling& s);

// The reverse, for readers of reports (every name must be present).
TextureMeasurements textureMeasurementsFromJson(const nlohmann::json& j);

}  // namespace texturemeter
