// The window under a German (decimal-comma) locale: "X * Y" shows whole numbers, "Sampling width"
// and the other text boxes read "." as decimal point, and a whole run writes exactly the results
// file, status words and picture prints of the same run under the C locale. The photo's name has
// non-ASCII letters.

#include <QtTest>

#include <clocale>
#include <cstdio>
#include <locale>

#include "imaging/numeric.hpp"
#include "imaging/random.hpp"
#include "testdata/locale.hpp"
#include "window_test_support.hpp"

using namespace texturemeter;
using namespace texturemeter::window;
using namespace texturemeter::window::testing;

namespace {

using morph::testdata::useLocale;
constexpr const char* kGerman = morph::testdata::kGermanLocale;
const QString kPhotoName = QStringLiteral("Hautprobe_ü_皮膚.jpg");

// A 600 x 400 photograph cut from the bundled sample photograph.
void write600x400(const QString& path) {
    const QImage sample(samplePhoto());  // 640 x 480
    if (sample.width() < 600 || sample.height() < 400) qFatal("the sample photograph is too small");
    if (!sample.copy(0, 0, 600, 400).save(path, "JPG", 95)) qFatal("cannot write %s", qPrintable(path));
}

struct Run {
    QString xTimesY[2];
    QStringList messages;
    QStringList statuses;
    QString extents[2];  // Text8, Text9 after the run
    QByteArray results;
    QStringList prints;  // the numbers printed into the pictures
};

Run runOnce(const QString& folder, const QString& results) {
    Run r;
    QFile::remove(results);
    imaging::FastRandom random{std::uint64_t(7)};
    Form1 form(&random);
    ReportedErrors errors;
    errors.attach(form);
    form.hooks().soundBeep = [] {};
    QObject::connect(&form, &Form1::statusShown, [&r](const QString& word) { r.statuses << word; });
    showForm(form);
    goToFolder(form, folder);
    if (!clickFile(form, kPhotoName)) qFatal("photo not listed");
    r.xTimesY[0] = form.Text2->text();
    r.xTimesY[1] = form.Text3->text();
    form.Text5->setText(results);
    form.Text12->setText(QStringLiteral("150.5"));
    form.Text6->setText(QStringLiteral("40.0"));
    form.Text19->setText(QStringLiteral("4.0"));
    clickPhotoPixel(form, 37, 21);
    QTest::mouseClick(form.Command3, Qt::LeftButton);  // Start(A)
    r.extents[0] = form.Text8->text();
    r.extents[1] = form.Text9->text();
    for (ui::PictureView* view : {form.Picture2, form.Picture3, form.Picture7, form.Picture8})
        r.prints << view->shownLines();
    QFile f(results);
    if (f.open(QIODevice::ReadOnly)) r.results = f.readAll();
    r.messages = errors.messages;
    return r;
}

}  // namespace

class DecimalCommaTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() {
        QVERIFY2(useLocale(kGerman), "the locale de_DE.UTF-8 is missing (scripts/setup.sh makes it available)");
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 1.5);
        QCOMPARE(buf, "1,5");  // the C library really writes a decimal comma now
        write600x400(dir.filePath(kPhotoName));
    }

    void xTimesYShowsWholeNumbers() {
        QVERIFY(useLocale(kGerman));
        imaging::FastRandom random{std::uint64_t(7)};
        Form1 form(&random);
        showForm(form);
        goToFolder(form, dir.path());
        QVERIFY(clickFile(form, kPhotoName));
        QCOMPARE(form.Text2->text(), QStringLiteral("400"));
        QCOMPARE(form.Text3->text(), QStringLiteral("600"));
    }

    void samplingWidthIsReadWithAPoint() {
        QVERIFY(useLocale(kGerman));
        const Run german = runOnce(dir.path(), dir.filePath(QStringLiteral("german.txt")));
        QVERIFY2(german.messages.isEmpty(), qPrintable(german.messages.join('\n')));
        // 150.5 is read as 150.5 and rounds half to even to a side of 150.
        QCOMPARE(german.extents[0], QStringLiteral("150"));
        QCOMPARE(german.extents[1], QStringLiteral("150"));
        QCOMPARE(german.statuses.last(), QStringLiteral("END"));
    }

    void aRunWritesTheSameBytesAsUnderC() {
        QVERIFY(useLocale("C"));
        const Run c = runOnce(dir.path(), dir.filePath(QStringLiteral("c.txt")));
        QVERIFY(useLocale(kGerman));
        const Run german = runOnce(dir.path(), dir.filePath(QStringLiteral("german.txt")));
        QVERIFY2(c.messages.isEmpty(), qPrintable(c.messages.join('\n')));
        QVERIFY2(german.messages.isEmpty(), qPrintable(german.messages.join('\n')));
        QCOMPARE(german.xTimesY[0], c.xTimesY[0]);
        QCOMPARE(german.xTimesY[1], c.xTimesY[1]);
        QCOMPARE(german.statuses, c.statuses);
        QCOMPARE(german.prints, c.prints);
        QVERIFY(!c.results.isEmpty());
        QCOMPARE(german.results, c.results);

        // The result row: the photo's name, then numbers of the C form between blanks ("Curve-"
        // stays empty in a Start(A) run).
        const QList<QByteArray> lines = german.results.split('\n');
        QCOMPARE(lines.size(), 4);  // header, row, sampling line, nothing after the last CR LF
        const QByteArray row = lines[1].chopped(1);
        QVERIFY2(row.startsWith(kPhotoName.toUtf8() + ","), row.constData());
        const QList<QByteArray> fields = row.split(',');
        QCOMPARE(fields.size(), 14);
        const QRegularExpression number(QStringLiteral("^ ?-?[0-9]+(\\.[0-9]+)?(E[+-][0-9]{2,3})? $"));
        int fractions = 0;
        QCOMPARE(fields[10], QByteArray());
        for (int i = 1; i < fields.size(); ++i) {
            if (i == 10) continue;
            QVERIFY2(number.match(QString::fromLatin1(fields[i])).hasMatch(), row.constData());
            fractions += fields[i].contains('.');
        }
        QVERIFY(fractions >= 6);
        for (const QByteArray& field : lines[2].chopped(1).split(','))
            QVERIFY2(number.match(QString::fromLatin1(field)).hasMatch(), field.constData());
    }

    void cleanupTestCase() { useLocale("C"); }
};

QTEST_MAIN(DecimalCommaTest)
#include "decimal_comma_test.moc"
