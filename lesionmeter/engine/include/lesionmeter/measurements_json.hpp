#pragma once
// The named measurements of one lesion analysis as JSON, the form of lesionmeter-cli --json (and
// of anything else that reports one photograph's measurements). One flat object, the names of
// kLesionMeasurementNames (measurement_names.hpp) in its order, the results file's columns:
//   weightRed, weightGreen, weightBlue, squareWeightRed, squareWeightGreen, squareWeightBlue,
//   inMeanRed, inMeanGreen, inMeanBlue, outMeanRed, outMeanGreen, outMeanBlue,
//   outlineDimension (FRD1), profileRow140, profileRow170, profileColumn140, profileColumn170,
//   profileDimension (FRD2), centroidX, centroidY,
// then the ends of the long and short radius of "axis": longRadiusEndX, longRadiusEndY,
// shortRadiusEndX, shortRadiusEndY. A value whose step was not reached (or, for the centroid and
// radii, an "axis" that found no dark pixel) is null. Single-precision values are written as their
// exact value, doubles so that they read back bit for bit.

#include "imaging/report.hpp"
#include "lesionmeter/lesion_analysis.hpp"
#include "lesionmeter/measurements.hpp"

namespace lesionmeter {

using imaging::Json;

Json toJson(const LesionMeasurements& m);

// The measurements with the fits behind the five dimensions under "fits" (after "Fractal calc"):
//   {"outline": fit, "profileRow140": fit, "profileRow170": fit, "profileColumn140": fit,
//    "profileColumn170": fit}  (fit as imaging/loglog_fit_json.hpp writes it).
Json toJson(const LesionMeasurements& m, const FractalFits& fits);
Json toJson(const FractalFits& fits);

// The reverse, for readers of reports: every name must be present; null is "not measured".
LesionMeasurements lesionMeasurementsFromJson(const Json& j);

}  // namespace lesionmeter
