// The fit behind a dimension as JSON.

#include "imaging/loglog_fit_json.hpp"

namespace imaging {

Json toJson(const Fit& fit) {
    Json j;
    j["logSize"] = fit.logSize;
    j["logMeasure"] = fit.logMeasure;
    j["slope"] = fit.slope;
    j["intercept"] = fit.intercept;
    j["rSquared"] = fit.rSquared;
    j["slopeStdError"] = fit.slopeStdError ? Json(*fit.slopeStdError) : Json(nullptr);
    j["dimensionCi95"] =
        fit.dimensionCi95 ? Json::array({(*fit.dimensionCi95)[0], (*fit.dimensionCi95)[1]}) : Json(nullptr);
    j["dimension"] = fit.dimension;
    return j;
}

}  // namespace imaging
