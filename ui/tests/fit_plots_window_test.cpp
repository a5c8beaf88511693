// "Fit plots": one chart per fit with its points and line on logarithmic axes, a histogram with
// mean and spread, the summary texts, and the PNG and SVG exports.

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QCategoryAxis>
#include <QPushButton>
#include <QScatterSeries>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "imaging/errors.hpp"
#include "ui/fit_plots_window.hpp"

using ui::FitPlotsWindow;

namespace {

ui::FitPlotSet sampleSet() {
    ui::FitPlotSet set;
    // Counts of a straight line of 181 pixels over sides 1, 2, 5, 10, 20.
    std::vector<double> x, y;
    for (double s : {1.0, 2.0, 5.0, 10.0, 20.0}) x.push_back(std::log(s));
    for (double n : {362.0, 90.0, 36.0, 18.0, 9.0}) y.push_back(std::log(n));
    set.fits.push_back({QStringLiteral("outline"), QStringLiteral("box side"), QStringLiteral("boxes"),
                        imaging::fitLogLog(x, y, imaging::kBoxCountingDimension)});
    set.fits.push_back({QStringLiteral("two points"), QStringLiteral("s"), QStringLiteral("n"),
                        imaging::fitLogLog({0, 1}, {1, 0}, imaging::kBoxCountingDimension)});
    set.histograms.push_back({QStringLiteral("tiles"), {2.1, 2.2, 2.2, 2.3, 2.5}, {0.99, 0.98, 0.97, 0.995, 0.9},
                              2.26, 0.1356, std::array<double, 2>{2.0916, 2.4284}, 12.5});
    return set;
}

bool hasInk(const QImage& image) {
    const QRgb first = image.pixel(0, 0);
    int different = 0;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            if (image.pixel(x, y) != first) ++different;
    return different > 500;
}

}  // namespace

class FitPlotsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void summaryTextHasSlopeIntervalAndRSquared() {
        const imaging::Fit fit = imaging::fitLogLog({0, 1, 2, 3}, {1, 3, 2, 4}, imaging::kSurfaceAreaDimension);
        // slope 0.8 ± sqrt(0.18); D = 1.2 ± 4.302653 x 0.424264 = 1.2 ± 1.825452.
        QCOMPARE(ui::fitSummary(fit), QStringLiteral("D = 1.2000, 95 % fit interval [\u22120.6255, 3.0255]\n"
                                                        "slope 0.8000 \u00B1 0.4243 \u00B7 R\u00B2 = 0.6400"));
        const imaging::Fit two = imaging::fitLogLog({0, 1}, {1, 0}, imaging::kBoxCountingDimension);
        QCOMPARE(ui::fitSummary(two),
                 QStringLiteral("D = 0.9100, 95 % fit interval \u2014\nslope \u22121.0000 \u00B7 R\u00B2 = 1.0000"));
    }

    void emptyWindowShowsAHint() {
        FitPlotsWindow w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Fit plots"));
        w.show();
        QVERIFY(w.chartViews().empty());
        QVERIFY(w.findChild<QLabel*>()->isVisible());
    }

    void eachFitHasItsPointsAndItsLine() {
        FitPlotsWindow w;
        w.showFits(sampleSet());
        w.show();
        QCOMPARE(int(w.chartViews().size()), 3);
        QVERIFY(!w.findChild<QLabel*>()->isVisible());
        QChart* chart = w.chartViews()[0]->chart();
        QCOMPARE(chart->series().size(), 2);
        auto* points = qobject_cast<QScatterSeries*>(chart->series()[1]);
        auto* line = qobject_cast<QLineSeries*>(chart->series()[0]);
        QVERIFY(points && line);
        QCOMPARE(points->count(), 5);
        QCOMPARE(points->at(0), QPointF(0, std::log(362.0)));
        QCOMPARE(points->at(4), QPointF(std::log(20.0), std::log(9.0)));
        // The line runs from the smallest to the largest side along intercept + slope ln s.
        QCOMPARE(line->count(), 2);
        const ui::FitPlotSet expected = sampleSet();
        const imaging::Fit& fit = expected.fits[0].fit;
        QVERIFY(std::abs(line->at(1).y() - (fit.intercept + fit.slope * std::log(20.0))) < 1e-12);
        // Both axes are labelled with the values themselves at their logarithms: the sizes below.
        const auto axes = chart->axes(Qt::Horizontal);
        QCOMPARE(axes.size(), 1);
        auto* sizes = qobject_cast<QCategoryAxis*>(axes[0]);
        QVERIFY(sizes);
        QCOMPARE(sizes->categoriesLabels(), (QStringList{"1", "2", "5", "10", "20"}));
        QCOMPARE(sizes->endValue(QStringLiteral("5")), std::log(5.0));
        auto* counts = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Vertical).value(0));
        QVERIFY(counts);
        QCOMPARE(counts->categoriesLabels(), (QStringList{"10", "20", "50", "100", "200"}));
        QVERIFY(chart->title().contains(QStringLiteral("D = 1.0934, 95 % fit interval [")));
        QVERIFY(chart->title().contains(QStringLiteral("R\u00B2 = 0.9764")));
    }

    void histogramMarksMeanAndSpread() {
        FitPlotsWindow w;
        w.showFits(sampleSet());
        QChart* chart = w.chartViews()[2]->chart();
        QCOMPARE(chart->series().size(), 4);
        auto* bars = qobject_cast<QAreaSeries*>(chart->series()[0]);
        QVERIFY(bars);
        // Five bins of four outline points each; the counts add up to the five tiles.
        QCOMPARE(bars->upperSeries()->count(), 20);
        int tiles = 0;
        for (int b = 0; b < 5; ++b) tiles += int(bars->upperSeries()->at(4 * b + 1).y());
        QCOMPARE(tiles, 5);
        auto* mean = qobject_cast<QLineSeries*>(chart->series()[1]);
        auto* minus = qobject_cast<QLineSeries*>(chart->series()[2]);
        auto* plus = qobject_cast<QLineSeries*>(chart->series()[3]);
        QCOMPARE(mean->at(0).x(), 2.26);
        QCOMPARE(minus->at(0).x(), 2.26 - 0.1356);
        QCOMPARE(plus->at(1).x(), 2.26 + 0.1356);
        QVERIFY(chart->title().contains(QStringLiteral("5 tiles")));
        QVERIFY(chart->title().contains(QStringLiteral("lowest R\u00B2 0.9000")));
        // The sampling interval of the mean and the height amplitude, when known.
        QVERIFY2(chart->title().contains(QStringLiteral("<br>mean 95 % [2.0916, 2.4284] \u00B7 heightSd 12.5000")),
                 qPrintable(chart->title()));
        ui::FitPlotSet unknown;
        unknown.histograms.push_back({QStringLiteral("tiles"), {2.1, 2.2}, {}, 2.15, 0.05});
        w.showFits(unknown);
        QVERIFY(!w.chartViews()[0]->chart()->title().contains(QStringLiteral("mean 95 %")));
        QVERIFY(!w.chartViews()[0]->chart()->title().contains(QStringLiteral("heightSd")));
    }

    void showingNewFitsReplacesTheCharts() {
        FitPlotsWindow w;
        w.showFits(sampleSet());
        ui::FitPlotSet one;
        one.fits.push_back(sampleSet().fits[0]);
        w.showFits(one);
        QCOMPARE(int(w.chartViews().size()), 1);
        w.showFits({});
        QVERIFY(w.chartViews().empty());
    }

    void exportsPngAndSvg() {
        QTemporaryDir dir;
        FitPlotsWindow w;
        w.showFits(sampleSet());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString png = dir.filePath(QStringLiteral("fits.png"));
        QVERIFY(w.savePng(png));
        const QImage image(png);
        QVERIFY(image.width() >= 600 && image.height() >= 400);
        QVERIFY(hasInk(image));
        const QString svg = dir.filePath(QStringLiteral("fits.svg"));
        QVERIFY(w.saveSvg(svg));
        QFile f(svg);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.startsWith("<?xml"));
        QVERIFY(text.contains("<svg"));
        QVERIFY(text.size() > 10000);
        QVERIFY(!w.savePng(dir.filePath(QStringLiteral("no/such/folder/x.png"))));
        QVERIFY(!w.saveSvg(dir.filePath(QStringLiteral("no/such/folder/x.svg"))));
    }

    // An export never replaces an existing picture (a photograph named as the export, whatever its
    // extension): refused, the file unchanged. Its own earlier export it may replace.
    void anExportRefusesAnExistingPhotograph() {
        QTemporaryDir dir;
        FitPlotsWindow w;
        w.showFits(sampleSet());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString photo = dir.filePath(QStringLiteral("photo.png"));
        QImage picture(30, 20, QImage::Format_RGB32);
        picture.fill(qRgb(200, 150, 120));
        QVERIFY(picture.save(photo, "JPG"));
        QFile before(photo);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray bytes = before.readAll();
        before.close();
        for (const bool svg : {false, true}) {
            try {
                w.exportTo(photo, svg);
                QFAIL("the export replaced a photograph");
            } catch (const imaging::RunError& e) {
                QCOMPARE(e.kind(), imaging::ErrorKind::Refused);
                QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("is an existing JPEG picture")), e.what());
            }
            QFile after(photo);
            QVERIFY(after.open(QIODevice::ReadOnly));
            QCOMPARE(after.readAll(), bytes);
        }
        const QString png = dir.filePath(QStringLiteral("fits.png"));
        w.exportTo(png, false);
        QVERIFY(hasInk(QImage(png)));
        w.exportTo(png, false);  // its own export again
        FitPlotsWindow other;
        other.showFits(sampleSet());
        QVERIFY_THROWS_EXCEPTION(imaging::RunError, other.exportTo(png, false));
        QVERIFY_THROWS_EXCEPTION(imaging::RunError, w.exportTo(dir.filePath(QStringLiteral("no/x.png")), false));
    }
};

QTEST_MAIN(FitPlotsWindowTest)
#include "fit_plots_window_test.moc"
