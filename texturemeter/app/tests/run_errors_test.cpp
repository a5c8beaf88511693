// Run-time errors in the window: each is shown in a message box naming the error, ends only
// that command, and leaves the window usable with its state.

#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "imaging/random.hpp"
#include "testdata/qt_test_support.hpp"
#include "window_test_support.hpp"

using namespace texturemeter::window;
using namespace texturemeter::window::testing;
using morph::testdata::closeMessageBoxWithMouse;
using morph::testdata::SeenMessageBox;

namespace {
struct Selected {
    QTemporaryDir dir;
    imaging::FastRandom random{std::uint64_t(3)};
    Form1 form{&random};
    ReportedErrors errors;
    int beeps = 0;
    int finished = 0;
    bool lastSucceeded = false;
    Selected() {
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        errors.attach(form);
        form.hooks().soundBeep = [this] { ++beeps; };
        QObject::connect(&form, &Form1::runFinished, [this](bool ok) {
            ++finished;
            lastSucceeded = ok;
        });
        showForm(form);
        goToFolder(form, dir.path());
        if (!clickFile(form, QStringLiteral("Pskin.jpg"))) qFatal("photo not listed");
        form.Text5->setText(dir.filePath(QStringLiteral("results.txt")));
    }
    QByteArray results() const {
        QFile f(form.Text5->text());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
}  // namespace

class RunErrorsTest : public QObject {
    Q_OBJECT
private slots:
    // A non-number in Text12: the run stops with "Type mismatch"; after fixing the text the
    // next run works, so the window was left usable.
    void nonNumberSideStopsTheRunOnly() {
        Selected s;
        s.form.Text12->setText(QStringLiteral("abc"));
        QTest::mouseClick(s.form.Command3, Qt::LeftButton);
        QCOMPARE(s.errors.messages.size(), 1);
        QVERIFY2(s.errors.messages[0].contains(QStringLiteral("Type mismatch")), qPrintable(s.errors.messages[0]));
        QCOMPARE(s.finished, 1);
        QVERIFY(!s.lastSucceeded);
        QCOMPARE(s.beeps, 0);
        QVERIFY(!s.form.running());
        QVERIFY(s.form.isVisible());
        QCOMPARE(s.form.Text12->text(), QStringLiteral("abc"));
        QVERIFY(s.form.Text1->text().endsWith(QStringLiteral("/Pskin.jpg")));

        // The window still takes input: a click and a run work again.
        s.form.Text12->setText(QStringLiteral("150"));
        clickPhotoPixel(s.form, 10, 20);
        QCOMPARE(s.form.Text20->text(), QStringLiteral("10"));
        QTest::mouseClick(s.form.Command3, Qt::LeftButton);
        QCOMPARE(s.errors.messages.size(), 1);
        QVERIFY(s.lastSucceeded);
        QCOMPARE(s.beeps, 1);
        QCOMPARE(s.results().count("\r\n"), 3);
    }

    // Without a replacement the error really is a message box; it names the error.
    void theDefaultReportIsAMessageBox() {
        Form1 plain;  // a window with the default message box
        QTemporaryDir dir;
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("x.jpg"));
        showForm(plain);
        goToFolder(plain, dir.path());
        QVERIFY(clickFile(plain, QStringLiteral("x.jpg")));
        plain.Text12->setText(QStringLiteral("12x"));
        const SeenMessageBox seen = closeMessageBoxWithMouse([&] { clickPhotoPixel(plain, 5, 5); });
        QVERIFY2(seen.text.contains(QStringLiteral("Type mismatch")), qPrintable(seen.text));
        QCOMPARE(seen.title, QStringLiteral("Morphex 5.9c3 sqr1"));
        // Both windows show a run-time error in the same box: the critical one.
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QVERIFY(plain.isVisible());
    }

    // A run that fails shows the message box after the window takes input again, so that the
    // user can close it with the mouse.
    void runErrorBoxCanBeClosedByTheUser() {
        Form1 plain;
        QTemporaryDir dir;
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("x.jpg"));
        showForm(plain);
        goToFolder(plain, dir.path());
        QVERIFY(clickFile(plain, QStringLiteral("x.jpg")));
        plain.Text12->setText(QStringLiteral("abc"));
        plain.Text5->setText(dir.filePath(QStringLiteral("r.txt")));
        const SeenMessageBox seen =
            closeMessageBoxWithMouse([&] { QTest::mouseClick(plain.Command3, Qt::LeftButton); });
        QVERIFY2(seen.text.contains(QStringLiteral("Type mismatch")), qPrintable(seen.text));
        QVERIFY(!seen.clickWasEaten);
        QVERIFY(!plain.running());
    }

    // A click with a non-number side still takes nothing from the text and reports it.
    void clickWithANonNumberSideIsReported() {
        Selected s;
        s.form.Text12->setText(QString());
        clickPhotoPixel(s.form, 30, 40);
        QCOMPARE(s.errors.messages.size(), 1);
        QVERIFY(s.errors.messages[0].contains(QStringLiteral("Type mismatch")));
    }

    // A side too large for the work grids stops the run before the results file is opened.
    void sideBeyondTheGridsIsReported() {
        Selected s;
        s.form.Text12->setText(QStringLiteral("600"));
        QTest::mouseClick(s.form.Command3, Qt::LeftButton);
        QCOMPARE(s.errors.messages.size(), 1);
        QCOMPARE(s.errors.messages[0], QStringLiteral("Subscript out of range"));
        QVERIFY(!QFile::exists(s.form.Text5->text()));
        QCOMPARE(s.beeps, 0);
        QVERIFY(s.form.isVisible());
    }

    // After a good run, "abc" in "Length of one side" (Text6) or in the neighbour box (Text19)
    // stops the next run before the results file is opened: the message box names the error,
    // the previous results stay byte for byte and no derived image is left beside the photo.
    void parameterErrorsLeaveThePreviousResultsAlone() {
        Selected s;
        QTest::mouseClick(s.form.Command3, Qt::LeftButton);
        QVERIFY(s.lastSucceeded);
        const QByteArray previous = s.results();
        QCOMPARE(previous.count("\r\n"), 3);
        for (QLineEdit* box : {s.form.Text6, s.form.Text19}) {
            const QString kept = box->text();
            box->setText(QStringLiteral("abc"));
            QTest::mouseClick(s.form.Command3, Qt::LeftButton);
            box->setText(kept);
            QCOMPARE(s.errors.messages.last(), QStringLiteral("Type mismatch: \"abc\" is not a number"));
            QVERIFY(!s.lastSucceeded);
            QCOMPARE(s.results(), previous);
            QCOMPARE(QDir(s.dir.path()).entryList({QStringLiteral("*.bmp")}, QDir::Files), QStringList());
        }
        QCOMPARE(s.errors.messages.size(), 2);
        QCOMPARE(s.beeps, 1);
    }

    // A derived-image name equal to the photograph (here typed into Text13): the run keeps its
    // derived images in memory, so it runs and the photograph is neither overwritten nor deleted.
    void aDerivedNameEqualToThePhotographLeavesItAlone() {
        Selected s;
        const QString photo = s.dir.filePath(QStringLiteral("Pskin.jpg"));
        QFile original(photo);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        original.close();
        s.form.Text13->setText(photo);
        QTest::mouseClick(s.form.Command3, Qt::LeftButton);
        QVERIFY2(s.errors.messages.isEmpty(), qPrintable(s.errors.messages.join('\n')));
        QVERIFY(s.lastSucceeded);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), bytes);
        QCOMPARE(s.form.Text13->text(), photo);
        QVERIFY(QFile::exists(s.form.Text5->text()));
        QCOMPARE(s.beeps, 1);
    }

    // A results file that cannot be created: the error names it.
    void unwritableResultsFileIsReported() {
        Selected s;
        const QString bad = s.dir.filePath(QStringLiteral("no/such/folder/results.txt"));
        s.form.Text5->setText(bad);
        QTest::mouseClick(s.form.Command3, Qt::LeftButton);
        QCOMPARE(s.errors.messages.size(), 1);
        QVERIFY2(s.errors.messages[0].contains(QStringLiteral("results.txt")), qPrintable(s.errors.messages[0]));
    }

    // A run before any photo was selected is refused with a message saying what to do; the
    // results file of an earlier run is left as it was and nothing else is written.
    void runWithoutAPhotoIsReported() {
        imaging::FastRandom random(1);
        Form1 form(&random);
        ReportedErrors errors;
        errors.attach(form);
        int beeps = 0;
        form.hooks().soundBeep = [&beeps] { ++beeps; };
        QTemporaryDir dir;
        const QString resultsPath = dir.filePath(QStringLiteral("results.txt"));
        {
            QFile earlier(resultsPath);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier results\r\n");
        }
        form.Text5->setText(resultsPath);
        showForm(form);
        QTest::mouseClick(form.Command3, Qt::LeftButton);
        QCOMPARE(errors.messages.size(), 1);
        QCOMPARE(errors.messages[0], QStringLiteral("No photograph selected: choose a file first"));
        QVERIFY(!form.running());
        QCOMPARE(beeps, 0);
        QFile after(resultsPath);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), QByteArray("earlier results\r\n"));
        QVERIFY(form.session().statusView.printedLines().empty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("results.txt")});
    }

    // A click on the empty picture before any photo was selected says so and takes no corner.
    void clickWithoutAPhotoIsReported() {
        Form1 form;
        ReportedErrors errors;
        errors.attach(form);
        showForm(form);
        clickPhotoPixel(form, 30, 40);
        QCOMPARE(errors.messages.size(), 1);
        QCOMPARE(errors.messages[0], QStringLiteral("No photograph selected: choose a file first"));
        QVERIFY(form.Text20->text().isEmpty());
        QVERIFY(form.Label4->text().isEmpty());
    }

    // After a file that cannot be read, Picture1 still shows the earlier photo; a run would
    // measure it under the unreadable file's name, so it is refused, naming that file.
    void runAfterAnUnreadableFileIsRefused() {
        Selected s;
        {
            QFile bad(s.dir.filePath(QStringLiteral("Pbroken.jpg")));
            QVERIFY(bad.open(QIODevice::WriteOnly));
            bad.write("this is not a picture");
        }
        QTest::mouseClick(s.form.Command3, Qt::LeftButton);
        QVERIFY(s.lastSucceeded);
        const QByteArray firstResults = s.results();
        QCOMPARE(firstResults.count("\r\n"), 3);
        s.form.File1->setPath(s.dir.path());  // lists the new file
        QVERIFY(clickFile(s.form, QStringLiteral("Pbroken.jpg")));
        QCOMPARE(s.errors.messages.size(), 1);
        QTest::mouseClick(s.form.Command3, Qt::LeftButton);
        QCOMPARE(s.errors.messages.size(), 2);
        QVERIFY2(s.errors.messages[1].contains(QStringLiteral("Pbroken.jpg")) &&
                     s.errors.messages[1].contains(QStringLiteral("could not be loaded")),
                 qPrintable(s.errors.messages[1]));
        QVERIFY(!s.lastSucceeded);
        QCOMPARE(s.beeps, 1);
        QCOMPARE(s.results(), firstResults);
        // Choosing a readable file again makes the window work as before.
        QVERIFY(clickFile(s.form, QStringLiteral("Pskin.jpg")));
        QTest::mouseClick(s.form.Command3, Qt::LeftButton);
        QVERIFY(s.lastSucceeded);
        QCOMPARE(s.errors.messages.size(), 2);
    }
};

QTEST_MAIN(RunErrorsTest)
#include "run_errors_test.moc"
