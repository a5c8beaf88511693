#pragma once
// The fits of "Fractal calc" as "Fit plots" shows them: FRD1's box counting of the outline and
// that of the four luminance profiles behind FRD2.

#include "ui/fit_plots_window.hpp"
#include "lesionmeter/lesion_session.hpp"

namespace lesionmeter::app {

ui::FitPlotSet lesionFitPlots(const FractalFits& fits);

}  // namespace lesionmeter::app
