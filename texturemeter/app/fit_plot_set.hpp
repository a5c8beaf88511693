#pragma once
// The fits of a texture run as "Fit plots" shows them: the outline's box counting, the whole
// windows of the monochrome and Hessian images, and the histograms of their tile dimensions.

#include "ui/fit_plots_window.hpp"
#include "texturemeter/run_driver.hpp"

namespace texturemeter::window {

ui::FitPlotSet textureFitPlots(const RunOutcome& outcome);

}  // namespace texturemeter::window
