// A whole analysis in the window under a German (decimal-comma) locale: every text box, every
// number printed into a picture and the RGB output line are those of the same analysis under the
// C locale, and every number uses "." as decimal point. The photograph's name has non-ASCII
// letters, and the window's Japanese texts stay as they are.

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <clocale>
#include <cstdio>
#include <locale>

#include "imaging/numeric.hpp"
#include "testdata/locale.hpp"
#include "window_test_support.hpp"

using namespace lesionmeter;
using namespace lesionmeter::app;
using namespace lesionmeter::app::test;

namespace {

using morph::testdata::useLocale;
constexpr const char* kGerman = morph::testdata::kGermanLocale;
const QString kSample = QStringLiteral(MORPH_SAMPLES_DIR "/lesion_sample.jpg");
const QString kPhotoName = QStringLiteral("Läsion_Öl_皮疹.jpg");
const QPoint kInPoints[] = {{160, 120}, {150, 110}, {170, 125}, {155, 130}, {165, 115}};
const QPoint kOutPoints[] = {{40, 40}, {280, 40}, {40, 200}, {280, 200}, {160, 20}};

// What one analysis shows and writes.
struct Analysis {
    QStringList messages;
    QStringList texts;       // Text1..Text22 after "Fractal calc" and "axis" (Text8 empty: there is none)
    QStringList afterPoint;  // Text1..Text4 and Text12 with the pointer over the first IN point
    std::vector<std::string> printed;  // the lines printed into the pictures
    QByteArray rgbOutput;
};

Analysis analyse(const QString& folder) {
    Analysis a;
    WindowFixture fx(20261207);
    Form1& form = *fx.form;
    if (!QTest::qWaitForWindowExposed(&form)) qFatal("window not exposed");
    if (!loadThroughChooser(form, QDir(folder).filePath(kPhotoName))) qFatal("photo not loaded");
    form.check1()->click();  // the RGB output of every click
    movePointer(form.picture(1), kInPoints[0]);
    for (int n : {1, 2, 3, 4, 12}) a.afterPoint << form.text(n)->text();
    for (QPoint p : kInPoints) QTest::mouseClick(form.picture(1), Qt::LeftButton, Qt::NoModifier, p);
    clickOption(form.option(2));
    for (QPoint p : kOutPoints) QTest::mouseClick(form.picture(1), Qt::LeftButton, Qt::NoModifier, p);
    QTest::mouseClick(form.picture(1), Qt::RightButton, Qt::NoModifier, QPoint(160, 120));
    QTest::mouseClick(form.command(5), Qt::LeftButton);  // Calc + Draw
    QCoreApplication::processEvents();
    clickOption(form.option(4));                         // LINE
    QTest::mouseClick(form.command(3), Qt::LeftButton);  // Fractal calc
    form.command(6)->click();                            // axis
    for (int n = 1; n <= 22; ++n) a.texts << (form.text(n) ? form.text(n)->text() : QString());  // no Text8
    for (int n : {3, 4, 6, 7, 8, 13, 14, 15, 16, 17, 18})
        for (const std::string& line : lesionmeter::app::sessionPicture(*fx.session, n)->printedLines()) a.printed.push_back(line);
    QTest::mouseClick(form.command(2), Qt::LeftButton);  // END closes the RGB output file
    QFile rgb(fx.homeFile(QStringLiteral("RGBa.txt")));
    if (rgb.open(QIODevice::ReadOnly)) a.rgbOutput = rgb.readAll();
    a.messages = fx.messages;
    return a;
}

}  // namespace

class DecimalCommaTest : public QObject {
    Q_OBJECT
    QTemporaryDir photos;

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(kSample), "the bundled lesion photograph is missing");
        QVERIFY(QFile::copy(kSample, photos.filePath(kPhotoName)));
        QVERIFY2(useLocale(kGerman), "the locale de_DE.UTF-8 is missing (scripts/setup.sh makes it available)");
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 1.5);
        QCOMPARE(buf, "1,5");  // the C library really writes a decimal comma now
    }

    void analysisReadsAndWritesTheSameNumbersAsUnderC() {
        QVERIFY(useLocale("C"));
        const Analysis c = analyse(photos.path());
        QVERIFY(useLocale(kGerman));
        const Analysis german = analyse(photos.path());
        QVERIFY2(c.messages.isEmpty(), qPrintable(c.messages.join('\n')));
        QVERIFY2(german.messages.isEmpty(), qPrintable(german.messages.join('\n')));

        QCOMPARE(german.afterPoint, c.afterPoint);
        QCOMPARE(german.texts, c.texts);
        QCOMPARE(german.printed, c.printed);
        QCOMPARE(german.rgbOutput, c.rgbOutput);

        // Each number is in the C form: digits, "." and an exponent "E+xx" only.
        const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?(E[+-][0-9]{2,3})?$"));
        for (const QString& t : german.afterPoint) QVERIFY2(number.match(t).hasMatch(), qPrintable(t));
        for (int n : {7, 14, 15, 16, 17, 18, 19, 20}) {
            const QString& t = german.texts.at(n - 1);
            QVERIFY2(number.match(t).hasMatch(), qPrintable(QStringLiteral("Text%1: %2").arg(n).arg(t)));
        }
        // FRD1 and the profile dimensions are fractions: their texts hold a point.
        QVERIFY2(german.texts.at(6).contains('.'), qPrintable(german.texts.at(6)));
        QVERIFY2(german.texts.at(19).contains('.'), qPrintable(german.texts.at(19)));
        for (const std::string& line : german.printed) {
            const QString t = QString::fromStdString(line).trimmed();
            QVERIFY2(number.match(t).hasMatch(), line.c_str());
        }
        // The sample means behind the Japanese captions.
        const QRegularExpression means(QStringLiteral("^皮疹内-- R: [0-9.]+  G: [0-9.]+  B: [0-9.]+$"));
        QVERIFY2(means.match(german.texts.at(9)).hasMatch(), qPrintable(german.texts.at(9)));
        QVERIFY(german.texts.at(10).startsWith(QStringLiteral("皮疹外--R:")));

        // The RGB output line of the first IN click: photo name, class, the three channels in
        // print form, the grey value as Text12 showed it.
        const QString first = QString::fromUtf8(german.rgbOutput).section(QStringLiteral("\r\n"), 0, 0);
        const QString expected = kPhotoName + QStringLiteral(",IN,%1,%2,%3,%4")
                                                  .arg(QStringLiteral(" ") + german.afterPoint.at(2) + ' ',
                                                       QStringLiteral(" ") + german.afterPoint.at(1) + ' ',
                                                       QStringLiteral(" ") + german.afterPoint.at(0) + ' ',
                                                       german.afterPoint.at(4));
        QCOMPARE(first, expected);
        QVERIFY2(german.afterPoint.at(4).contains('.'), qPrintable(german.afterPoint.at(4)));
    }

    void cleanupTestCase() { useLocale("C"); }
};

QTEST_MAIN(DecimalCommaTest)
#include "decimal_comma_test.moc"
