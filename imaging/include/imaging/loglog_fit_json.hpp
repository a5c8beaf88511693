#pragma once
// The fit behind a dimension as JSON, the form every --json report uses:
//   {"logSize": [...], "logMeasure": [...], "slope", "intercept", "rSquared",
//    "slopeStdError" (null with fewer than 3 points), "dimensionCi95": [low, high] (null likewise),
//    "dimension"}
// Every number reads back bit for bit.

#include "imaging/loglog_fit.hpp"
#include "imaging/report.hpp"

namespace imaging {

Json toJson(const Fit& fit);

}  // namespace imaging
