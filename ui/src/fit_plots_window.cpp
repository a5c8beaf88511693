#include "ui/fit_plots_window.hpp"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QSvgGenerator>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <exception>

#include "imaging/errors.hpp"
#include "ui/user_hooks.hpp"

namespace ui {

namespace {

constexpr int kColumns = 3;

QString number(double v, int decimals = 4) {
    // QString::number never uses the process locale: "." as decimal point.
    QString text = QString::number(v, 'f', decimals);
    if (text.startsWith(QLatin1Char('-'))) text.replace(0, 1, QChar(0x2212));
    return text;
}

// Tick values for a logarithmic axis over [lo, hi]: powers of ten, or 1-2-5 of each decade, or
// every whole mantissa, whichever first gives three ticks; ticks of the finest set are thinned
// to at most eight.
std::vector<double> logTicks(double lo, double hi) {
    const std::vector<std::vector<int>> mantissaSets = {{1}, {1, 2, 5}, {1, 2, 3, 4, 5, 6, 7, 8, 9}};
    std::vector<double> ticks;
    for (const std::vector<int>& mantissas : mantissaSets) {
        ticks.clear();
        for (int e = static_cast<int>(std::floor(std::log10(lo))) - 1; e <= static_cast<int>(std::ceil(std::log10(hi))); ++e)
            for (int m : mantissas) {
                const double v = m * std::pow(10.0, e);
                if (v >= lo && v <= hi) ticks.push_back(v);
            }
        if (ticks.size() >= 3) break;
    }
    while (ticks.size() > 8) {
        std::vector<double> every2;
        for (std::size_t i = 0; i < ticks.size(); i += 2) every2.push_back(ticks[i]);
        ticks.swap(every2);
    }
    if (ticks.size() < 2) ticks = {lo, hi};
    return ticks;
}

// An axis of natural logarithms [lnLo, lnHi] labelled with the values themselves, so that the
// chart is a log-log plot whose straight lines are the fits.
QCategoryAxis* logAxis(const QString& title, double lnLo, double lnHi, const std::vector<double>& marks) {
    auto* axis = new QCategoryAxis;
    axis->setTitleText(title);
    const double room = std::max(0.08 * (lnHi - lnLo), 0.05);
    axis->setRange(lnLo - room, lnHi + room);
    axis->setStartValue(lnLo - room);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (double v : marks) {
        const double lv = std::log(v);
        if (lv < lnLo - room || lv > lnHi + room) continue;
        axis->append(QString::number(v, 'g', 6), lv);
    }
    return axis;
}

QLineSeries* verticalLine(const QString& name, double x, double top, const QColor& colour, Qt::PenStyle style) {
    auto* line = new QLineSeries;
    line->setName(name);
    line->append(x, 0);
    line->append(x, top);
    QPen pen(colour);
    pen.setWidthF(2);
    pen.setStyle(style);
    line->setPen(pen);
    return line;
}

}  // namespace

QString fitSummary(const imaging::Fit& fit) {
    QString text = QStringLiteral("D = %1").arg(number(fit.dimension));
    if (fit.dimensionCi95)
        text += QStringLiteral(", 95 % fit interval [%1, %2]")
                    .arg(number((*fit.dimensionCi95)[0]), number((*fit.dimensionCi95)[1]));
    else
        text += QStringLiteral(", 95 % fit interval \u2014");
    text += QStringLiteral("\nslope %1").arg(number(fit.slope));
    if (fit.slopeStdError) text += QStringLiteral(" \u00B1 %1").arg(number(*fit.slopeStdError));
    text += QStringLiteral(" \u00B7 R\u00B2 = %1").arg(number(fit.rSquared));
    return text;
}

FitPlotsWindow::FitPlotsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FitPlots"));
    setWindowTitle(QStringLiteral("Fit plots"));
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    exportPngButton = new QPushButton(QStringLiteral("Export PNG\u2026"), this);
    exportSvgButton = new QPushButton(QStringLiteral("Export SVG\u2026"), this);
    exportPngButton->setObjectName(QStringLiteral("exportPng"));
    exportSvgButton->setObjectName(QStringLiteral("exportSvg"));
    buttons->addWidget(exportPngButton);
    buttons->addWidget(exportSvgButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    chartArea_ = new QWidget(this);
    chartArea_->setObjectName(QStringLiteral("chartArea"));
    chartArea_->setAutoFillBackground(true);
    QPalette palette = chartArea_->palette();
    palette.setColor(QPalette::Window, Qt::white);
    chartArea_->setPalette(palette);
    grid_ = new QGridLayout(chartArea_);
    grid_->setContentsMargins(4, 4, 4, 4);
    hint_ = new QLabel(QStringLiteral("No fit yet: run an analysis first."), chartArea_);
    hint_->setAlignment(Qt::AlignCenter);
    grid_->addWidget(hint_, 0, 0);
    layout->addWidget(chartArea_, 1);

    connect(exportPngButton, &QPushButton::clicked, this, [this] { exportWithDialog(false); });
    connect(exportSvgButton, &QPushButton::clicked, this, [this] { exportWithDialog(true); });
    resize(1200, 780);
}

void FitPlotsWindow::clearCharts() {
    for (QChartView* view : views_) {
        grid_->removeWidget(view);
        delete view;
    }
    views_.clear();
}

void FitPlotsWindow::showFits(const FitPlotSet& set) {
    clearCharts();
    hint_->setVisible(set.empty());
    int index = 0;
    const auto place = [this, &index](QChartView* view) {
        views_.push_back(view);
        grid_->addWidget(view, index / kColumns, index % kColumns);
        // Shown at once: a layout would show it only once the event loop runs.
        view->show();
        ++index;
    };
    for (const FitPlot& plot : set.fits) place(fitChart(plot));
    // Histograms start a row of their own.
    if (index % kColumns) index += kColumns - index % kColumns;
    for (const DimensionHistogram& histogram : set.histograms) place(histogramChart(histogram));
}

QChartView* FitPlotsWindow::fitChart(const FitPlot& plot) {
    const imaging::Fit& fit = plot.fit;
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("<b>%1</b><br>%2")
                        .arg(plot.title.toHtmlEscaped(),
                             fitSummary(fit).toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"))));
    chart->legend()->setVisible(false);
    chart->setMargins(QMargins(2, 2, 2, 2));

    auto* points = new QScatterSeries;
    points->setName(QStringLiteral("points"));
    points->setMarkerSize(9);
    double xLo = HUGE_VAL, xHi = -HUGE_VAL, yLo = HUGE_VAL, yHi = -HUGE_VAL;
    for (std::size_t i = 0; i < fit.logSize.size(); ++i) {
        const double x = fit.logSize[i], y = fit.logMeasure[i];
        points->append(x, y);
        xLo = std::min(xLo, x), xHi = std::max(xHi, x), yLo = std::min(yLo, y), yHi = std::max(yHi, y);
    }
    // The fitted line over the fitted sizes: ln y = intercept + slope ln x.
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("fit"));
    if (!fit.logSize.empty()) {
        for (double lx : {xLo, xHi}) {
            const double y = fit.intercept + fit.slope * lx;
            line->append(lx, y);
            yLo = std::min(yLo, y), yHi = std::max(yHi, y);
        }
    } else {
        xLo = yLo = 0, xHi = yHi = 1;
    }
    QPen pen(QColor(200, 40, 40));
    pen.setWidthF(2);
    line->setPen(pen);
    chart->addSeries(line);
    chart->addSeries(points);

    // The x marks are the fitted sizes themselves.
    std::vector<double> sizes;
    for (double lx : fit.logSize) sizes.push_back(std::round(std::exp(lx) * 1e6) / 1e6);
    QCategoryAxis* xAxis = logAxis(plot.sizeName, xLo, xHi, sizes);
    QCategoryAxis* yAxis = logAxis(plot.measureName, yLo, yHi, logTicks(std::exp(yLo), std::exp(yHi)));
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(xAxis);
        s->attachAxis(yAxis);
    }
    auto* view = new QChartView(chart, chartArea_);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(300, 240);
    return view;
}

QChartView* FitPlotsWindow::histogramChart(const DimensionHistogram& histogram) {
    const std::vector<double>& d = histogram.dimensions;
    auto* chart = new QChart;
    QString summary = QStringLiteral("mean %1 \u00B7 sd %2 \u00B7 %3 tiles")
                          .arg(number(histogram.mean), number(histogram.sd))
                          .arg(d.size());
    if (!histogram.rSquared.empty())
        summary += QStringLiteral(" \u00B7 lowest R\u00B2 %1")
                       .arg(number(*std::min_element(histogram.rSquared.begin(), histogram.rSquared.end())));
    if (histogram.meanCi95)
        summary += QStringLiteral("<br>mean 95 % [%1, %2]").arg(number((*histogram.meanCi95)[0]),
                                                                number((*histogram.meanCi95)[1]));
    if (histogram.heightSd) summary += QStringLiteral(" \u00B7 heightSd %1").arg(number(*histogram.heightSd));
    chart->setTitle(QStringLiteral("<b>%1</b><br>%2").arg(histogram.title.toHtmlEscaped(), summary));
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->legend()->setAlignment(Qt::AlignBottom);

    // Bins between the smallest and the largest dimension (widened when all are equal).
    double lo = d.empty() ? histogram.mean : *std::min_element(d.begin(), d.end());
    double hi = d.empty() ? histogram.mean : *std::max_element(d.begin(), d.end());
    lo = std::min(lo, histogram.mean - histogram.sd);
    hi = std::max(hi, histogram.mean + histogram.sd);
    if (hi - lo < 1e-3) lo -= 0.005, hi += 0.005;
    const int bins = std::max(5, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(d.size())))));
    const double width = (hi - lo) / bins;
    std::vector<int> counts(bins, 0);
    for (double v : d) ++counts[std::clamp(static_cast<int>((v - lo) / width), 0, bins - 1)];
    const int top = std::max(1, *std::max_element(counts.begin(), counts.end()));

    auto* outline = new QLineSeries;
    for (int b = 0; b < bins; ++b) {
        const double x0 = lo + b * width, x1 = lo + (b + 1) * width;
        outline->append(x0, 0);
        outline->append(x0, counts[b]);
        outline->append(x1, counts[b]);
        outline->append(x1, 0);
    }
    auto* bars = new QAreaSeries(outline);
    bars->setName(QStringLiteral("tiles"));
    bars->setColor(QColor(110, 150, 210));
    bars->setBorderColor(QColor(40, 70, 130));
    chart->addSeries(bars);
    chart->addSeries(verticalLine(QStringLiteral("mean"), histogram.mean, top + 1, QColor(200, 40, 40), Qt::SolidLine));
    chart->addSeries(verticalLine(QStringLiteral("mean \u2212 sd"), histogram.mean - histogram.sd, top + 1,
                                  QColor(230, 140, 30), Qt::DashLine));
    chart->addSeries(verticalLine(QStringLiteral("mean + sd"), histogram.mean + histogram.sd, top + 1,
                                  QColor(230, 140, 30), Qt::DashLine));

    auto* xAxis = new QValueAxis;
    xAxis->setTitleText(QStringLiteral("tile dimension"));
    xAxis->setRange(lo - width * 0.5, hi + width * 0.5);
    xAxis->setLabelFormat(QStringLiteral("%.3f"));
    auto* yAxis = new QValueAxis;
    yAxis->setTitleText(QStringLiteral("tiles"));
    yAxis->setRange(0, top + 1);
    yAxis->setTickType(QValueAxis::TicksDynamic);
    yAxis->setTickAnchor(0);
    yAxis->setTickInterval(std::max(1, (top + 1 + 4) / 5));
    yAxis->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(xAxis);
        s->attachAxis(yAxis);
    }
    auto* view = new QChartView(chart, chartArea_);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(300, 240);
    return view;
}

bool FitPlotsWindow::savePng(const QString& path) { return chartArea_->grab().save(path, "PNG"); }

bool FitPlotsWindow::saveSvg(const QString& path) {
    {
        // QSvgGenerator does not tell whether its file could be written.
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly)) return false;
    }
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(chartArea_->size());
    svg.setViewBox(QRect(QPoint(0, 0), chartArea_->size()));
    svg.setTitle(windowTitle());
    QPainter painter;
    if (!painter.begin(&svg)) return false;
    chartArea_->render(&painter);
    return painter.end();
}

void FitPlotsWindow::exportTo(const QString& path, bool svg) {
    const std::string name = path.toStdString();
    imaging::guardOutput(svg ? "Export SVG: the file" : "Export PNG: the file", name, "", {}, &exported_);
    if (!(svg ? saveSvg(path) : savePng(path))) throw imaging::RunError::fileError("Cannot write", name);
    exported_.remember(name);
}

void FitPlotsWindow::exportWithDialog(bool svg) {
    const QString filter = svg ? QStringLiteral("SVG (*.svg)") : QStringLiteral("PNG (*.png)");
    const QString path = QFileDialog::getSaveFileName(this, windowTitle(), QString(), filter);
    if (path.isEmpty()) return;
    try {
        exportTo(path, svg);
    } catch (const std::exception& e) {
        showErrorBox(this, windowTitle(), QString::fromUtf8(e.what()));
    }
}

}  // namespace ui
