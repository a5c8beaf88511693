// A whole analysis of the bundled lesion photograph through the real widgets of the window:
// loading through the chooser, IN and OUT samples, the reference centre, "Calc + Draw", LINE and
// the eraser, "save1" and "loadcal", "Fractal calc", "axis", "Information" and "END", with the
// visibility of the stacked plot areas and the enabled state of "Save 2" after every step.

#include <QCursor>
#include <QFile>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTest>

#include <cmath>
#include <vector>

#include "imaging/box_counting.hpp"
#include "imaging/image_file.hpp"
#include "imaging/numeric.hpp"
#include "window_test_support.hpp"

using namespace lesionmeter;
using namespace lesionmeter::app;
using namespace lesionmeter::app::test;

namespace {

const QString kSample = samplePhoto();

std::vector<QPoint> points(const std::vector<morph::testdata::Click>& clicks) {
    std::vector<QPoint> out;
    for (auto [x, y] : clicks) out.emplace_back(x, y);
    return out;
}

// The five IN and five OUT clicks of the bundled sample's scripted analysis, and its centre.
const std::vector<QPoint> kInPoints = points(morph::testdata::lesionSample().in);
const std::vector<QPoint> kOutPoints = points(morph::testdata::lesionSample().out);
const QPoint kCentre = points({morph::testdata::lesionSample().centre}).front();

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The mean text of "Calc + Draw": a blank before a non-negative single-precision mean.
std::string meanText(float v) { return (v < 0 ? "" : " ") + imaging::numberText(v); }

// Whether the pixel of a widget's picture is black or white as painted on the screen.
bool isBlack(const QImage& shot, int x, int y) { return shot.pixelColor(x, y) == QColor(0, 0, 0); }
bool isWhite(const QImage& shot, int x, int y) { return shot.pixelColor(x, y) == QColor(255, 255, 255); }

// The first black pixel of a picture scanned row by row inside the given margins.
QPoint firstBlack(const QImage& shot, int margin, QPoint from = {0, 0}) {
    for (int y = std::max(margin, from.y()); y < shot.height() - margin; ++y)
        for (int x = margin; x < shot.width() - margin; ++x)
            if (isBlack(shot, x, y) && (y > from.y() || x >= from.x())) return {x, y};
    return {-1, -1};
}

}  // namespace

class Form1AnalysisTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowFixture> fx;
    imaging::Image photo;
    Form1& form() { return *fx->form; }
    LesionSession& session() { return *fx->session; }

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(kSample), "the bundled lesion photograph is missing");
        photo = imaging::loadImageFile(kSample.toStdString());
        fx = std::make_unique<WindowFixture>(20261207);
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
    }

    // After every step every control is shown, hidden, enabled or disabled as the session says.
    void cleanup() {
        if (form().isVisible()) VERIFY_FOLLOWS_SESSION(form());
    }

    void startUpShowsPicture2Only() {
        QCOMPARE(form().windowTitle(), QStringLiteral("Morphex 5.9c3"));
        QCOMPARE(stackOf(form()), (Stack{true, false, false, false}));
        QVERIFY(fx->messages.isEmpty());
    }

    void loadsThePhotographThroughTheChooser() {
        QVERIFY(loadThroughChooser(form(), kSample));
        QVERIFY2(fx->messages.isEmpty(), qPrintable(fx->messages.join('\n')));
        QCOMPARE(form().text(5)->text(), QFileInfo(kSample).absoluteFilePath());
        QCOMPARE(form().text(6)->text(), QStringLiteral("c:\\lesion_sample.bmp"));
        QCOMPARE(form().text(21)->text(), QStringLiteral("c:\\lesion_sampleP.bmp"));
        QCOMPARE(form().text(22)->text(), QStringLiteral("c:\\lesion_sampleU.bmp"));
        QVERIFY(!form().picture(10)->isVisibleTo(&form()));
        QCOMPARE(stackOf(form()), (Stack{true, false, false, false}));
        QVERIFY(form().option(1)->isChecked());
        QVERIFY(form().option(3)->isChecked());
        // One image pixel per screen pixel, from the top-left of Picture1.
        QCOMPARE(form().picture(1)->size(), QSize(320, 240));
        const QImage shot = form().picture(1)->grab().toImage();
        for (QPoint p : {QPoint(0, 0), QPoint(160, 120), QPoint(319, 239), QPoint(37, 201)}) {
            const imaging::Channels ch = imaging::splitColour(photo.at(p.x(), p.y()));
            QCOMPARE(shot.pixelColor(p), QColor(ch.red, ch.green, ch.blue));
        }
    }

    void inClicksCountAndReadOut() {
        int n = 0;
        for (QPoint p : kInPoints) {
            movePointer(form().picture(1), p);
            const imaging::Channels ch = imaging::splitColour(photo.at(p.x(), p.y()));
            QCOMPARE(form().text(1)->text(), qs(imaging::numberText(ch.blue)));
            QCOMPARE(form().text(2)->text(), qs(imaging::numberText(ch.green)));
            QCOMPARE(form().text(3)->text(), qs(imaging::numberText(ch.red)));
            QCOMPARE(form().text(4)->text(), qs(imaging::numberText(ch.green + ch.red)));
            QCOMPARE(form().text(12)->text(), qs(imaging::numberText(imaging::greyOf(ch))));
            QTest::mouseClick(form().picture(1), Qt::LeftButton, Qt::NoModifier, p);
            ++n;
            QCOMPARE(int(session().state().inCount), n);
            QCOMPARE(session().state().inX[std::size_t(n)], float(p.x()));
            QCOMPARE(session().state().inY[std::size_t(n)], float(p.y()));
            QCOMPARE(session().state().inRed[std::size_t(n)], float(ch.red));
            QCOMPARE(session().pictures().sampleCount.printedLines(), std::vector<std::string>{imaging::printForm(n)});
        }
        QCOMPARE(session().state().outCount, int16_t(0));
    }

    void outClicksRestartTheCount() {
        clickOption(form().option(2));
        QVERIFY(form().option(2)->isChecked());
        QCOMPARE(session().pictures().sampleCount.printedLines(), std::vector<std::string>{imaging::printForm(0)});
        QCOMPARE(session().state().inCount, int16_t(5));
        int n = 0;
        for (QPoint p : kOutPoints) {
            QTest::mouseClick(form().picture(1), Qt::LeftButton, Qt::NoModifier, p);
            ++n;
            QCOMPARE(int(session().state().outCount), n);
            QCOMPARE(session().state().outX[std::size_t(n)], float(p.x()));
            QCOMPARE(session().pictures().sampleCount.printedLines(), std::vector<std::string>{imaging::printForm(n)});
        }
        QCOMPARE(session().state().inCount, int16_t(5));
    }

    void rightClickSetsTheCentreAndDrawsHiddenProfiles() {
        QTest::mouseClick(form().picture(1), Qt::RightButton, Qt::NoModifier, kCentre);
        QCOMPARE(session().state().centreX, float(kCentre.x()));
        QCOMPARE(session().state().centreY, float(kCentre.y()));
        QCOMPARE(session().state().inCount, int16_t(5));
        QCOMPARE(session().state().outCount, int16_t(5));
        QCOMPARE(stackOf(form()), (Stack{true, false, false, false}));
        // The strips stay hidden, but hold the profiles.
        QVERIFY(!form().picture(16)->isVisibleTo(&form()));
        bool drawn = false;
        for (int x = 0; x < 321 && !drawn; ++x)
            for (int y = 0; y < 65 && !drawn; ++y) drawn = session().pictures().upperRowProfile.pointAt(x, y) == imaging::kBlack;
        QVERIFY(drawn);
    }

    void calcAndDrawShowsMeansMapAndCounters() {
        // Count the repaints of the accepted-set counter while the search runs.
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) ++paints;
                return false;
            }
        } counter;
        form().picture(4)->installEventFilter(&counter);
        Qt::CursorShape cursorAtBeep = Qt::ArrowCursor;
        // A click on "Information" that arrives while the search runs is dropped, not acted on late.
        QPushButton* information = form().command(7);
        const QPointF middle = QRectF(information->rect()).center();
        form().hooks().soundBeep = [&] {
            ++fx->beeps;
            if (QApplication::overrideCursor()) cursorAtBeep = QApplication::overrideCursor()->shape();
            if (fx->beeps == 1) {
                QCoreApplication::postEvent(information, new QMouseEvent(QEvent::MouseButtonPress, middle,
                    information->mapToGlobal(middle), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
                QCoreApplication::postEvent(information, new QMouseEvent(QEvent::MouseButtonRelease, middle,
                    information->mapToGlobal(middle), Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
            }
        };
        QTest::mouseClick(form().command(5), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(!form().picture(14)->isVisibleTo(&form()));
        QVERIFY(session().pictures().information.printedLines().empty());
        form().picture(4)->removeEventFilter(&counter);
        QVERIFY2(fx->messages.isEmpty(), qPrintable(fx->messages.join('\n')));
        QCOMPARE(fx->beeps, 2);
        QCOMPARE(cursorAtBeep, Qt::WaitCursor);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        const int accepted = session().acceptedSetCount();
        QVERIFY(accepted >= 1);
        QVERIFY(counter.paints >= accepted);
        QCOMPARE(session().pictures().acceptedCount.printedLines().back(), imaging::printForm(accepted));
        const Discriminant& w = session().chosenDiscriminant();
        QCOMPARE(session().pictures().weightRed.printedLines().back(), imaging::printForm(w.weightRed));
        QCOMPARE(session().pictures().weightBlue.printedLines().back(), imaging::printForm(w.weightBlue));

        // The sample means, from the photograph's own pixels at the clicks.
        float in[3] = {0, 0, 0}, out[3] = {0, 0, 0};
        for (int k = 0; k < 5; ++k) {
            const imaging::Channels a = imaging::splitColour(photo.at(kInPoints[k].x(), kInPoints[k].y()));
            const imaging::Channels b = imaging::splitColour(photo.at(kOutPoints[k].x(), kOutPoints[k].y()));
            in[0] += float(a.red), in[1] += float(a.green), in[2] += float(a.blue);
            out[0] += float(b.red), out[1] += float(b.green), out[2] += float(b.blue);
        }
        const std::string text10 = "皮疹内-- R:" + meanText(in[0] / 5) + "  G:" + meanText(in[1] / 5) +
                                   "  B:" + meanText(in[2] / 5);
        const std::string text11 = "皮疹外--R:" + meanText(out[0] / 5) + "  G:" + meanText(out[1] / 5) +
                                   "  B:" + meanText(out[2] / 5);
        QCOMPARE(form().text(10)->text(), QString::fromUtf8(text10.c_str()));
        QCOMPARE(form().text(11)->text(), QString::fromUtf8(text11.c_str()));
        QVERIFY(!form().text(10)->isVisibleTo(&form()));

        // The lesion map as painted: the lesion clicks dark, the skin clicks and corners white.
        QCOMPARE(stackOf(form()), (Stack{true, false, false, false}));
        const QImage map = form().picture(2)->grab().toImage();
        int darkInside = 0, whiteOutside = 0;
        for (int k = 0; k < 5; ++k) {
            darkInside += isBlack(map, kInPoints[k].x() - 1, kInPoints[k].y() - 1);
            whiteOutside += isWhite(map, kOutPoints[k].x() - 1, kOutPoints[k].y() - 1);
        }
        QVERIFY2(darkInside >= 4, qPrintable(QString::number(darkInside)));
        QVERIFY2(whiteOutside >= 4, qPrintable(QString::number(whiteOutside)));
        QVERIFY(isWhite(map, 2, 2) && isWhite(map, 300, 230));
        for (int y = 0; y < 240; y += 7)
            for (int x = 0; x < 313; x += 5) {
                const imaging::Channels ch = imaging::splitColour(session().pictures().lesionMap.pointAt(x, y));
                QCOMPARE(map.pixelColor(x, y), QColor(ch.red, ch.green, ch.blue));
            }
    }

    void pointerOverLesionMapFollowsTheEraser() {
        movePointer(form().picture(2), {100, 100});
        QCOMPARE(form().picture(2)->cursor().shape(), Qt::ArrowCursor);
        clickOption(form().option(6));
        movePointer(form().picture(2), {101, 100});
        QCOMPARE(form().picture(2)->cursor().shape(), Qt::SizeAllCursor);
        clickOption(form().option(5));
        movePointer(form().picture(2), {102, 100});
        QCOMPARE(form().picture(2)->cursor().shape(), Qt::ArrowCursor);
    }

    void lineAndEraserWhitenTheOutline() {
        clickOption(form().option(4));
        QCOMPARE(stackOf(form()), (Stack{false, true, false, true}));
        QImage shot = form().picture(12)->grab().toImage();
        const QPoint a = firstBlack(shot, 12);
        QVERIFY(a.x() >= 0);

        // "nar": a 4 x 4 square from (X - 2, Y - 2) at each position of a drag with the left button.
        press(form().picture(12), a, Qt::LeftButton);
        movePointer(form().picture(12), a, Qt::LeftButton);
        release(form().picture(12), a, Qt::LeftButton);
        shot = form().picture(12)->grab().toImage();
        for (int dy = -2; dy <= 1; ++dy)
            for (int dx = -2; dx <= 1; ++dx) QVERIFY(isWhite(shot, a.x() + dx, a.y() + dy));

        // A drag with the right button erases nothing.
        const QPoint b = firstBlack(shot, 12);
        QVERIFY(b.x() >= 0);
        press(form().picture(12), b, Qt::RightButton);
        movePointer(form().picture(12), b, Qt::RightButton);
        release(form().picture(12), b, Qt::RightButton);
        QVERIFY(isBlack(form().picture(12)->grab().toImage(), b.x(), b.y()));

        // "wide": 17 x 17 around the pointer.
        clickOption(form().option(6));
        press(form().picture(12), b, Qt::LeftButton);
        movePointer(form().picture(12), b, Qt::LeftButton);
        release(form().picture(12), b, Qt::LeftButton);
        shot = form().picture(12)->grab().toImage();
        for (int dy = -8; dy <= 8; ++dy)
            for (int dx = -8; dx <= 8; ++dx) QVERIFY(isWhite(shot, b.x() + dx, b.y() + dy));
        clickOption(form().option(5));
        QVERIFY(firstBlack(shot, 12).x() >= 0);
    }

    void save1ThenLoadcalConsumesTheFile() {
        const QString file = fx->homeFile("lesion_sampleU.bmp");
        QTest::mouseClick(form().command(9), Qt::LeftButton);
        QVERIFY(QFile::exists(file));
        // Between the two steps the outline file is an ordinary picture: mark one white pixel
        // beside the outline grey 128, as a user editing the file would.
        imaging::Image outline = imaging::loadImageFile(file.toStdString());
        QCOMPARE(outline.width, 313);
        QPoint grey(-1, -1), black(-1, -1);
        for (int y = 20; y < 220 && grey.x() < 0; ++y)
            for (int x = 20; x < 300 && grey.x() < 0; ++x)
                if (outline.at(x, y) == imaging::kBlack && outline.at(x + 1, y) == imaging::kWhite) grey = {x + 1, y};
        QVERIFY(grey.x() > 0);
        for (int y = 20; y < 220 && black.x() < 0; ++y)
            for (int x = 20; x < 300 && black.x() < 0; ++x)
                if (outline.at(x, y) == imaging::kBlack && (std::abs(x - grey.x()) > 3 || std::abs(y - grey.y()) > 3))
                    black = {x, y};
        QVERIFY(black.x() > 0);
        outline.at(grey.x(), grey.y()) = imaging::greyColour(128);
        {
            // Edited in place: still the file "save1" wrote, which "loadcal" consumes.
            QFile edited(file);
            QVERIFY(edited.open(QIODevice::ReadWrite | QIODevice::Truncate));
            const std::string bytes = imaging::encodeBmp(outline);
            QCOMPARE(edited.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
        }

        QTest::mouseClick(form().command(8), Qt::LeftButton);
        QVERIFY2(fx->messages.isEmpty(), qPrintable(fx->messages.join('\n')));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(stackOf(form()), (Stack{false, true, false, true}));
        // The grey pixel touching the outline turns black; the plain outline turns white.
        const QImage after = form().picture(12)->grab().toImage();
        QVERIFY(isBlack(after, grey.x(), grey.y()));
        QVERIFY(isWhite(after, black.x(), black.y()));

        // A second "loadcal" has no file to read: a message naming it, the samples stay.
        QTest::mouseClick(form().command(8), Qt::LeftButton);
        QCOMPARE(fx->messages.size(), 1);
        QVERIFY2(fx->messages.front().contains("lesion_sampleU.bmp"), qPrintable(fx->messages.front()));
        fx->messages.clear();
        QVERIFY(form().isVisible());
        QCOMPARE(session().state().inCount, int16_t(5));
        QCOMPARE(session().state().outCount, int16_t(5));
        QCOMPARE(stackOf(form()), (Stack{false, true, false, true}));
    }

    void bwThenLineDrawsTheOutlineAgain() {
        clickOption(form().option(3));
        QCOMPARE(stackOf(form()), (Stack{true, false, false, false}));
        clickOption(form().option(4));
        QCOMPARE(stackOf(form()), (Stack{false, true, false, true}));
        QVERIFY(firstBlack(form().picture(12)->grab().toImage(), 12).x() >= 0);
    }

    void fractalCalcFillsTheDimensionsAndShowsTheStrips() {
        const double expectedFrd1 = imaging::boxCountingDimension(session().pictures().outline, imaging::kViewBoxSides);
        QTest::mouseClick(form().command(3), Qt::LeftButton);
        QVERIFY2(fx->messages.isEmpty(), qPrintable(fx->messages.join('\n')));
        QCOMPARE(form().text(7)->text(), qs(imaging::numberText(expectedFrd1)));
        QVERIFY(expectedFrd1 > 0.9 && expectedFrd1 < 1.6);
        QVERIFY(!form().text(7)->isEnabled());
        const double strips[4] = {imaging::boxCountingDimension(session().pictures().upperRowProfile, imaging::kStripBoxSides),
                                  imaging::boxCountingDimension(session().pictures().leftColumnProfile, imaging::kStripBoxSides),
                                  imaging::boxCountingDimension(session().pictures().lowerRowProfile, imaging::kStripBoxSides),
                                  imaging::boxCountingDimension(session().pictures().rightColumnProfile, imaging::kStripBoxSides)};
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(form().text(16 + k)->text(), qs(imaging::numberText(strips[k])));
            QVERIFY(strips[k] > 1.0 && strips[k] < 2.0);
        }
        QCOMPARE(form().text(20)->text(), qs(imaging::numberText((strips[0] + strips[1] + strips[2] + strips[3]) / 4)));
        for (int n : {15, 16, 17, 18}) QVERIFY(form().picture(n)->isVisibleTo(&form()));
        for (int n : {16, 17, 18, 19, 20}) QVERIFY(!form().text(n)->isVisibleTo(&form()));
        QVERIFY(!form().label(2)->isVisibleTo(&form()));
        QCOMPARE(stackOf(form()), (Stack{false, true, false, true}));
        // The strips as painted hold the black profile curves.
        QVERIFY(firstBlack(form().picture(16)->grab().toImage(), 0).x() >= 0);

        const QString screenshot = qEnvironmentVariable("LESIONMETER_SCREENSHOT");
        if (!screenshot.isEmpty()) QVERIFY(form().grab().save(screenshot, "PNG"));
    }

    // "Fit plots" from its button: FRD1 and the four profiles, five points and a line each, titled
    // with the dimensions shown in the text boxes; a new "Fractal calc" redraws them.
    void fitPlotsShowTheFractalCalcFits() {
        QTest::mouseClick(form().fitPlotsButton(), Qt::LeftButton);
        ui::FitPlotsWindow& plots = form().fitPlots();
        QVERIFY(plots.isVisible());
        QCOMPARE(plots.windowTitle(), QStringLiteral("Fit plots"));
        const auto checkCharts = [&] {
            QCOMPARE(int(plots.chartViews().size()), 5);
            const int textOfChart[5] = {7, 16, 17, 18, 19};
            for (int c = 0; c < 5; ++c) {
                QVERIFY(plots.chartViews()[std::size_t(c)]->isVisible());
                QChart* chart = plots.chartViews()[std::size_t(c)]->chart();
                QCOMPARE(chart->series().size(), 2);
                auto* line = qobject_cast<QLineSeries*>(chart->series()[0]);
                auto* points = qobject_cast<QScatterSeries*>(chart->series()[1]);
                QVERIFY(line && points);
                QCOMPARE(line->count(), 2);
                QCOMPARE(points->count(), 5);
                const double shown = form().text(textOfChart[c])->text().toDouble();
                QVERIFY2(chart->title().contains(QStringLiteral("D = %1,").arg(shown, 0, 'f', 4)),
                         qPrintable(chart->title()));
            }
        };
        checkCharts();
        const QChartView* before = plots.chartViews()[0];
        QTest::mouseClick(form().command(3), Qt::LeftButton);
        QVERIFY(plots.chartViews()[0] != before);
        checkCharts();
        const QString screenshot = qEnvironmentVariable("LESIONMETER_PLOTS_SCREENSHOT");
        if (!screenshot.isEmpty()) QVERIFY(plots.grab().save(screenshot, "PNG"));
        plots.close();
    }

    void axisFromItsHiddenButton() {
        QVERIFY(!form().command(6)->isVisibleTo(&form()));
        // The centroid of the dark pixels of the outline, x and y 1..300.
        long long sumX = 0, sumY = 0, n = 0;
        for (int y = 1; y <= 300; ++y)
            for (int x = 1; x <= 300; ++x)
                if (imaging::meanGreyOf(session().pictures().outline.pointAt(x, y)) < 30) sumX += x, sumY += y, ++n;
        QVERIFY(n > 0);
        const double cx = double(sumX) / double(n), cy = double(sumY) / double(n);
        form().command(6)->click();
        QVERIFY2(fx->messages.isEmpty(), qPrintable(fx->messages.join('\n')));
        QCOMPARE(form().text(14)->text(), qs(imaging::numberText(cx)));
        QCOMPARE(form().text(15)->text(), qs(imaging::numberText(cy)));
        QCOMPARE(stackOf(form()), (Stack{false, false, true, true}));
        QVERIFY(!form().command(6)->isVisibleTo(&form()));
        const QImage shot = form().picture(13)->grab().toImage();
        const int px = imaging::roundToInt(cx), py = imaging::roundToInt(cy);
        // The red cross at the centroid; the two magenta radii start at its middle and may
        // cover at most two of its arms.
        QCOMPARE(shot.pixelColor(px, py), QColor(255, 0, 255));
        int redArms = 0;
        for (QPoint d : {QPoint(-1, -1), QPoint(1, 1), QPoint(-1, 1), QPoint(1, -1)})
            redArms += shot.pixelColor(px + d.x(), py + d.y()) == QColor(255, 0, 0);
        QVERIFY(redArms >= 2);
    }

    void informationPrintsItsLineTwice() {
        QVERIFY(!form().picture(14)->isVisibleTo(&form()));
        QTest::mouseClick(form().command(7), Qt::LeftButton);
        QTest::mouseClick(form().command(7), Qt::LeftButton);
        QVERIFY(form().picture(14)->isVisibleTo(&form()));
        const std::vector<std::string> twice{kInformationLine, kInformationLine};
        QCOMPARE(session().pictures().information.printedLines(), twice);
        QTest::mouseClick(form().picture(14), Qt::LeftButton, Qt::NoModifier, QPoint(80, 30));
        QVERIFY(!form().picture(14)->isVisibleTo(&form()));
        QCOMPARE(stackOf(form()), (Stack{false, false, true, true}));
    }

    void rgbOutputThenEndClosesTheFile() {
        form().check1()->click();
        QVERIFY(session().rgbOutputTicked());
        QVERIFY(!form().check1()->isVisibleTo(&form()));
        clickOption(form().option(1));
        const QPoint p = kInPoints[0];
        QTest::mouseClick(form().picture(1), Qt::LeftButton, Qt::NoModifier, p);
        const imaging::Channels ch = imaging::splitColour(photo.at(p.x(), p.y()));
        const QString line = QStringLiteral("lesion_sample.jpg,IN,%1,%2,%3,%4\r\n")
                                 .arg(qs(imaging::printForm(float(ch.red))), qs(imaging::printForm(float(ch.green))),
                                      qs(imaging::printForm(float(ch.blue))), form().text(12)->text());
        QTest::mouseClick(form().command(2), Qt::LeftButton);
        QVERIFY(!session().rgbOutputOpen());
        QVERIFY(!form().isVisible());
        QFile rgb(fx->homeFile("RGBa.txt"));
        QVERIFY(rgb.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLatin1(rgb.readAll()), line);
    }

    void cleanupTestCase() { fx.reset(); }
};

QTEST_MAIN(Form1AnalysisTest)
#include "form1_analysis_test.moc"
