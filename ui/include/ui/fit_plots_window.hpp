#pragma once
// "Fit plots": the straight-line fits behind a program's dimensions, drawn as they were fitted.
// Each fit gets a log-log chart of its points and its least-squares line, titled with the slope,
// the dimension with its 95 % fit interval and R²; a set of tile dimensions gets a histogram with
// its mean and its mean ± one standard deviation marked, titled with the sampling interval of the
// mean and the amplitude of the heights measured where known. The charts export to PNG and SVG.

#include <QString>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

#include "imaging/loglog_fit.hpp"
#include "imaging/output_guard.hpp"

class QGridLayout;
class QLabel;
class QPushButton;

class QChartView;

namespace ui {

// One fit and how to label it. The points are drawn at (logSize, logMeasure) on axes labelled with
// the sizes and measures themselves (a log-log plot), so the fitted line is straight.
struct FitPlot {
    QString title;     // what the dimension is, e.g. "FRD1 (outline)"
    QString sizeName;  // x axis, e.g. "box side (pixels)"
    QString measureName;  // y axis, e.g. "occupied boxes"
    imaging::Fit fit;
};

// The dimensions of many tiles, with the mean and standard deviation the program reports.
struct DimensionHistogram {
    QString title;
    std::vector<double> dimensions;
    std::vector<double> rSquared;  // each tile's R² (may be empty)
    double mean = 0;
    double sd = 0;
    std::optional<std::array<double, 2>> meanCi95;  // sampling interval of the mean, if known
    std::optional<double> heightSd;                   // amplitude of the heights measured, if known
};

struct FitPlotSet {
    std::vector<FitPlot> fits;
    std::vector<DimensionHistogram> histograms;
    bool empty() const { return fits.empty() && histograms.empty(); }
};

// The two lines under a fit's title: the dimension with its 95 % fit interval, then the slope with its
// standard error and R² ("—" where there is no interval).
QString fitSummary(const imaging::Fit& fit);

class FitPlotsWindow : public QWidget {
    Q_OBJECT
public:
    explicit FitPlotsWindow(QWidget* parent = nullptr);

    // Replaces every chart by the charts of `set` (an empty set shows a hint).
    void showFits(const FitPlotSet& set);

    // The charts as shown, as a PNG (at the window's size) or an SVG file; false when the file
    // cannot be written.
    bool savePng(const QString& path);
    bool saveSvg(const QString& path);
    // What "Export PNG…" and "Export SVG…" do with the chosen name: refuses (imaging::RunError),
    // with nothing written, a name that is an existing picture this window did not export itself
    // (imaging::guardOutput), then writes the charts; a file that cannot be written is a RunError
    // naming it.
    void exportTo(const QString& path, bool svg);

    // The chart views in display order: fits first, then histograms.
    const std::vector<QChartView*>& chartViews() const { return views_; }
    // The area that holds the charts (what the exports show).
    QWidget* chartArea() const { return chartArea_; }

    QPushButton* exportPngButton = nullptr;
    QPushButton* exportSvgButton = nullptr;

private:
    void clearCharts();
    QChartView* fitChart(const FitPlot& plot);
    QChartView* histogramChart(const DimensionHistogram& histogram);
    void exportWithDialog(bool svg);

    QWidget* chartArea_ = nullptr;
    QGridLayout* grid_ = nullptr;
    QLabel* hint_ = nullptr;
    std::vector<QChartView*> views_;
    // The files this window exported: a second export may replace them.
    imaging::WrittenFiles exported_;
};

}  // namespace ui
