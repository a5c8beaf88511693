#include "fit_plot_set.hpp"

namespace texturemeter::window {

namespace {

ui::DimensionHistogram tileHistogram(const QString& title, const std::vector<TileFit>& tiles,
                                     const TiledDimension& d) {
    ui::DimensionHistogram h{title, {}, {}, d.meanDimension, d.dimensionSd, d.meanDimensionCi95, d.heightSd};
    for (const TileFit& t : tiles) {
        h.dimensions.push_back(t.dimension);
        h.rSquared.push_back(t.rSquared);
    }
    return h;
}

}  // namespace

ui::FitPlotSet textureFitPlots(const RunOutcome& outcome) {
    const TextureFits& f = outcome.fits;
    ui::FitPlotSet set;
    if (f.outline.logSize.empty()) return set;
    const QString side = QStringLiteral("box side (pixels)");
    const QString size = QStringLiteral("box size (grid cells)");
    const QString area = QStringLiteral("surface area");
    set.fits.push_back({QStringLiteral("line fr dim: outline box counting"), side,
                        QStringLiteral("boxes holding the outline"), f.outline});
    set.fits.push_back({QStringLiteral("FR tatal: monochrome whole window"), size, area, f.surface.monochrome.wholeWindow});
    set.fits.push_back({QStringLiteral("Hessian whole window (first tile)"), size, area, f.surface.hessian.wholeWindow});
    const TextureMeasurements& m = outcome.measurements;
    set.histograms.push_back(tileHistogram(QStringLiteral("Monochrome tiles (Monochrome--FR-AVE)"),
                                           f.surface.monochrome.tiles, m.monochrome));
    set.histograms.push_back(tileHistogram(QStringLiteral("Hessian tiles (hesian--FR-AVE)"), f.surface.hessian.tiles,
                                           m.hessian));
    return set;
}

}  // namespace texturemeter::window
