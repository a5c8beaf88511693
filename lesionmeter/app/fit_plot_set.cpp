#include "fit_plot_set.hpp"

namespace lesionmeter::app {

ui::FitPlotSet lesionFitPlots(const FractalFits& fits) {
    ui::FitPlotSet set;
    if (fits.outline.logSize.empty()) return set;
    const QString side = QStringLiteral("box side (pixels)");
    const QString profile = QStringLiteral("boxes holding the profile");
    set.fits.push_back({QStringLiteral("FRD1: outline"), side, QStringLiteral("boxes holding the outline"), fits.outline});
    set.fits.push_back({QStringLiteral("Profile along the row y = 140"), side, profile, fits.row140});
    set.fits.push_back({QStringLiteral("Profile along the column x = 140"), side, profile, fits.column140});
    set.fits.push_back({QStringLiteral("Profile along the row y = 170"), side, profile, fits.row170});
    set.fits.push_back({QStringLiteral("Profile along the column x = 170"), side, profile, fits.column170});
    return set;
}

}  // namespace lesionmeter::app
