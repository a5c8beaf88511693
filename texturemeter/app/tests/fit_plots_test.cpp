// "Fit plots" from its button: empty before a run; after Start(A) the outline's box counting and
// the two whole windows as points and lines, the two tile histograms with the reported means and
// spreads; redrawn by the next run and emptied by a failed one.

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QScatterSeries>
#include <QtTest>

#include <cmath>

#include "imaging/random.hpp"
#include "window_test_support.hpp"

using namespace texturemeter::window;
using namespace texturemeter::window::testing;

namespace {

struct PlotFixture {
    QTemporaryDir dir;
    imaging::FastRandom random{std::uint64_t(7)};
    Form1 form{&random};
    ReportedErrors errors;
    QString results;

    PlotFixture() {
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        errors.attach(form);
        form.hooks().soundBeep = [] {};
        showForm(form);
        goToFolder(form, dir.path());
        if (!clickFile(form, QStringLiteral("Pskin.jpg"))) qFatal("photo not listed");
        results = dir.filePath(QStringLiteral("results.txt"));
        form.Text5->setText(results);
    }

    // The numbers of the result row (line 2), columns 2..14 at index 2..14.
    QList<double> resultRow() const {
        QFile f(results);
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QList<QByteArray> cells = f.readAll().split('\n').value(1).split(',');
        QList<double> row{0, 0};
        for (int c = 1; c < cells.size(); ++c) row << cells[c].trimmed().toDouble();
        return row;
    }
};

QString fourDecimals(double v) { return QString::number(v, 'f', 4).replace(QLatin1Char('-'), QChar(0x2212)); }

}  // namespace

class FitPlotsTest : public QObject {
    Q_OBJECT
private slots:
    void theButtonSitsInFreeSpaceAndOpensAnEmptyWindowBeforeARun() {
        PlotFixture f;
        QCOMPARE(f.form.fitPlotsButton->text(), QStringLiteral("Fit plots"));
        QCOMPARE(f.form.fitPlotsButton->geometry(), QRect(670, 540, 147, 28));
        QTest::mouseClick(f.form.fitPlotsButton, Qt::LeftButton);
        ui::FitPlotsWindow& w = f.form.fitPlots();
        QVERIFY(w.isVisible());
        QCOMPARE(w.windowTitle(), QStringLiteral("Fit plots"));
        QVERIFY(w.chartViews().empty());
        QVERIFY(w.findChild<QLabel*>()->isVisible());
    }

    void afterARunThePlotsShowTheFitsBehindTheColumns() {
        PlotFixture f;
        QTest::mouseClick(f.form.Command3, Qt::LeftButton);
        QVERIFY2(f.errors.messages.isEmpty(), qPrintable(f.errors.messages.join('\n')));
        QTest::mouseClick(f.form.fitPlotsButton, Qt::LeftButton);
        ui::FitPlotsWindow& w = f.form.fitPlots();
        QVERIFY(w.isVisible());
        QCOMPARE(int(w.chartViews().size()), 5);
        const QList<double> row = f.resultRow();
        QCOMPARE(row.size(), 15);

        // Outline box counting (5 sides), monochrome and Hessian whole windows (6 sizes).
        const int pointsOf[3] = {5, 6, 6};
        for (int c = 0; c < 3; ++c) {
            QChartView* view = w.chartViews()[std::size_t(c)];
            QVERIFY(view->isVisible());
            QCOMPARE(view->chart()->series().size(), 2);
            auto* line = qobject_cast<QLineSeries*>(view->chart()->series()[0]);
            auto* points = qobject_cast<QScatterSeries*>(view->chart()->series()[1]);
            QVERIFY(line && points);
            QCOMPARE(points->count(), pointsOf[c]);
            QCOMPARE(line->count(), 2);
        }
        // Their dimensions are "line fr dim" and "FR tatal".
        QVERIFY2(w.chartViews()[0]->chart()->title().contains("D = " + fourDecimals(row[12]) + ","),
                 qPrintable(w.chartViews()[0]->chart()->title()));
        QVERIFY(w.chartViews()[1]->chart()->title().contains("D = " + fourDecimals(row[8]) + ","));

        // Tile histograms: bars of 25 tiles, the reported mean and mean +- sd.
        const int meanColumn[2] = {2, 5};
        for (int h = 0; h < 2; ++h) {
            QChart* chart = w.chartViews()[std::size_t(3 + h)]->chart();
            QCOMPARE(chart->series().size(), 4);
            auto* bars = qobject_cast<QAreaSeries*>(chart->series()[0]);
            QVERIFY(bars);
            QCOMPARE(bars->upperSeries()->count() % 4, 0);
            int tiles = 0;
            for (int p = 1; p < bars->upperSeries()->count(); p += 4) tiles += int(bars->upperSeries()->at(p).y());
            QCOMPARE(tiles, 25);
            const double mean = qobject_cast<QLineSeries*>(chart->series()[1])->at(0).x();
            const double plus = qobject_cast<QLineSeries*>(chart->series()[3])->at(0).x();
            QVERIFY(std::abs(mean - row[meanColumn[h]]) < 1e-6);
            QVERIFY(std::abs(plus - mean - row[meanColumn[h] + 1]) < 1e-9);
            QVERIFY(chart->title().contains(QStringLiteral("25 tiles")));
            QVERIFY(chart->title().contains(QStringLiteral("mean 95 % [")));
            QVERIFY(chart->title().contains(QStringLiteral("heightSd ")));
        }
    }

    void theOpenWindowFollowsEachRunAndAFailedRunEmptiesIt() {
        PlotFixture f;
        QTest::mouseClick(f.form.fitPlotsButton, Qt::LeftButton);
        ui::FitPlotsWindow& w = f.form.fitPlots();
        QTest::mouseClick(f.form.Command3, Qt::LeftButton);
        QCOMPARE(int(w.chartViews().size()), 5);
        const QString firstTitle = w.chartViews()[1]->chart()->title();
        // Another corner gives other fits.
        clickPhotoPixel(f.form, 60, 50);
        QTest::mouseClick(f.form.Command3, Qt::LeftButton);
        QVERIFY2(f.errors.messages.isEmpty(), qPrintable(f.errors.messages.join('\n')));
        QCOMPARE(int(w.chartViews().size()), 5);
        QVERIFY(w.chartViews()[1]->chart()->title() != firstTitle);
        // A tile side that is no number ends the run: no fits beside its partial results.
        f.form.Text6->setText(QStringLiteral("x"));
        QTest::mouseClick(f.form.Command3, Qt::LeftButton);
        QCOMPARE(f.errors.messages.size(), 1);
        QVERIFY(w.chartViews().empty());
        QVERIFY(w.findChild<QLabel*>()->isVisible());
    }
};

QTEST_MAIN(FitPlotsTest)
#include "fit_plots_test.moc"
