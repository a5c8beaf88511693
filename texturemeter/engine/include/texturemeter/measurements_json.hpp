#pragma once
// The named measurements of one texture analysis as JSON, the form of texturemeter-cli --json
// (and of anything else that reports one image's measurements). Names are those of
// TextureMeasurements; single-precision values are written as their exact value, doubles so that
// they read back bit for bit.

#include "imaging/report.hpp"
#include "texturemeter/measurements.hpp"
#include "texturemeter/run_driver.hpp"

namespace texturemeter {

using imaging::Json;

Json toJson(const TextureMeasurements& m);
Json toJson(const TiledDimension& d);
Json toJson(const ToneStatistics& t);
Json toJson(const TextureSampling& s);

// The measurements with the fits behind their dimensions under "fits":
//   {"outline": fit, "monochrome": {"wholeWindow": fit, "tiles": [{"dimension", "rSquared"}, ...]},
//    "hessian": {...}}
// (fit as imaging/loglog_fit_json.hpp writes it; tiles column by column, dimension in single
// precision as the statistics take it).
Json toJson(const TextureMeasurements& m, const TextureFits& fits);
Json toJson(const TextureFits& fits);

// The reverse, for readers of reports (every name must be present).
TextureMeasurements textureMeasurementsFromJson(const Json& j);

}  // namespace texturemeter
