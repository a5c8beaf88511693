// "Save square" and "Load square": a window run saved as a square file and loaded into a fresh
// window repeats the run byte for byte; --square does the same from the command line, and
// texturemeter-cli given the square's numbers and seed writes the same row.

#include <QtTest>

#include "testdata/qt_test_support.hpp"
#include "texturemeter/square_file.hpp"
#include "window_test_support.hpp"

using namespace texturemeter;
using namespace texturemeter::window;
using namespace texturemeter::window::testing;

namespace {

using morph::testdata::fileBytes;
using morph::testdata::runProgram;
using Outcome = morph::testdata::ProgramRun;

// A window over its own clock-seeded generator, as the program starts, with `name` selected.
struct Window {
    Form1 form;
    ReportedErrors errors;
    QString answer;              // what the square file dialog answers
    QStringList asked;           // "save:SUGGESTED" / "load:SUGGESTED", one per question
    Window(const QString& folder, const QString& name) {
        errors.attach(form);
        form.hooks().soundBeep = [] {};
        form.askSquareFile = [this](bool save, const QString& suggested) {
            asked << (save ? QStringLiteral("save:") : QStringLiteral("load:")) + suggested;
            return answer;
        };
        showForm(form);
        goToFolder(form, folder);
        if (!name.isEmpty() && !clickFile(form, name)) qFatal("%s not listed", qPrintable(name));
    }
    QByteArray run(char variant, const QString& results) {
        form.Text5->setText(results);
        form.pressRunButton(variant);
        return fileBytes(results);
    }
};

Square squareOf(int16_t x, int16_t y, int16_t side, double window, double neighbour, Variant variant,
                std::optional<uint64_t> seed, const std::string& photo = "Pskin.jpg") {
    Square s;
    s.photo = photo;
    s.x = x;
    s.y = y;
    s.side = side;
    s.window = window;
    s.neighbour = neighbour;
    s.variant = variant;
    s.seed = seed;
    return s;
}

}  // namespace

class SquareFilesTest : public QObject {
    Q_OBJECT
private slots:
    // A run with typed boxes and a clicked corner, "Save square", then a fresh window: "Load
    // square" fills the boxes and the corner, and the same run button writes the same file.
    void aSavedSquareRepeatsTheRunInAFreshWindow() {
        QTemporaryDir dir;
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QString squareFile = dir.filePath(QStringLiteral("Pskin.square.json"));
        QByteArray first;
        {
            Window w(dir.path(), QStringLiteral("Pskin.jpg"));
            w.form.Text12->setText(QStringLiteral("180"));
            w.form.Text6->setText(QStringLiteral("30"));
            w.form.Text19->setText(QStringLiteral("3"));
            clickPhotoPixel(w.form, 37, 41);
            first = w.run('B', dir.filePath(QStringLiteral("first.txt")));
            QVERIFY2(w.errors.messages.isEmpty(), qPrintable(w.errors.messages.join('\n')));
            QCOMPARE(first.count("\r\n"), 3);
            w.answer = squareFile;
            QTest::mouseClick(w.form.saveSquareButton, Qt::LeftButton);
            QVERIFY2(w.errors.messages.isEmpty(), qPrintable(w.errors.messages.join('\n')));
            QCOMPARE(w.asked, QStringList{QStringLiteral("save:") + squareFile});
        }
        const Square saved = readSquare(squareFile.toStdString());
        QVERIFY(saved.seed.has_value());
        QCOMPARE(saved, squareOf(37, 41, 180, 30, 3, Variant::B, saved.seed));

        Window fresh(dir.path(), QStringLiteral("Pskin.jpg"));
        fresh.answer = squareFile;
        QTest::mouseClick(fresh.form.loadSquareButton, Qt::LeftButton);
        QVERIFY2(fresh.errors.messages.isEmpty(), qPrintable(fresh.errors.messages.join('\n')));
        QCOMPARE(fresh.asked, QStringList{QStringLiteral("load:") + squareFile});
        QCOMPARE(fresh.form.Text12->text(), QStringLiteral("180"));
        QCOMPARE(fresh.form.Text6->text(), QStringLiteral("30"));
        QCOMPARE(fresh.form.Text19->text(), QStringLiteral("3"));
        QCOMPARE(fresh.form.Text20->text(), QStringLiteral("37"));
        QCOMPARE(fresh.form.Text21->text(), QStringLiteral("41"));
        QCOMPARE(fresh.form.Label4->text(), QStringLiteral("Plot"));
        QCOMPARE(fresh.run('B', dir.filePath(QStringLiteral("second.txt"))), first);
        // The square seeds one run: the next one draws its own seed and samples elsewhere.
        const QByteArray third = fresh.run('B', dir.filePath(QStringLiteral("third.txt")));
        QCOMPARE(third.count("\r\n"), 3);
        QVERIFY(third != first);
        // Saved again, the square holds the new run's seed.
        fresh.answer = dir.filePath(QStringLiteral("again.square.json"));
        QTest::mouseClick(fresh.form.saveSquareButton, Qt::LeftButton);
        const Square again = readSquare(fresh.answer.toStdString());
        QVERIFY(again.seed.has_value());
        QVERIFY(again.seed != saved.seed);
        QCOMPARE(again, squareOf(37, 41, 180, 30, 3, Variant::B, again.seed));
    }

    // What cannot be saved or loaded is reported and changes nothing.
    void refusalsChangeNothing() {
        QTemporaryDir dir;
        const QString photo = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QString squareFile = dir.filePath(QStringLiteral("s.square.json"));
        writeSquare(squareFile.toStdString(), squareOf(10, 10, 150, 40, 4, Variant::A, 5));
        {
            // No photograph yet.
            Window w(dir.path(), {});
            QVERIFY(!w.form.loadSquareFile(squareFile));
            QCOMPARE(w.errors.messages, QStringList{QStringLiteral("Load square: load the photograph first, then its square")});
        }
        Window w(dir.path(), QStringLiteral("Pskin.jpg"));
        // No run yet.
        w.answer = dir.filePath(QStringLiteral("none.square.json"));
        QTest::mouseClick(w.form.saveSquareButton, Qt::LeftButton);
        QCOMPARE(w.errors.messages.value(0),
                 QStringLiteral("Save square: no run to save; run the analysis first (the square of the last run is saved)"));
        QVERIFY(!QFile::exists(w.answer));
        // A square of another photograph.
        const QString other = dir.filePath(QStringLiteral("other.square.json"));
        writeSquare(other.toStdString(), squareOf(10, 10, 150, 40, 4, Variant::A, 5, "P0002.jpg"));
        QVERIFY(!w.form.loadSquareFile(other));
        QCOMPARE(w.errors.messages.value(1),
                 QStringLiteral("Load square: ") + other + QStringLiteral(" holds the square of P0002.jpg, not of Pskin.jpg"));
        // A square entirely outside the photograph (400 x 300).
        const QString outside = dir.filePath(QStringLiteral("outside.square.json"));
        writeSquare(outside.toStdString(), squareOf(400, 10, 150, 40, 4, Variant::A, 5));
        QVERIFY(!w.form.loadSquareFile(outside));
        QVERIFY2(w.errors.messages.value(2).contains(QStringLiteral("lies entirely outside the photograph (400 x 300)")),
                 qPrintable(w.errors.messages.value(2)));
        // Not a square file at all.
        QVERIFY(!w.form.loadSquareFile(photo));
        QVERIFY2(w.errors.messages.value(3).startsWith(QStringLiteral("Square file ") + photo + QStringLiteral(": not a JSON")),
                 qPrintable(w.errors.messages.value(3)));
        QCOMPARE(w.form.Text12->text(), QStringLiteral("200"));
        QCOMPARE(w.form.Text6->text(), QStringLiteral("40"));
        QCOMPARE(w.form.Text20->text(), QString());
        // A failed run leaves nothing to save.
        w.form.Text6->setText(QStringLiteral("wide"));
        w.run('A', dir.filePath(QStringLiteral("failed.txt")));
        QCOMPARE(w.errors.messages.size(), 5);
        QTest::mouseClick(w.form.saveSquareButton, Qt::LeftButton);
        QVERIFY(w.errors.messages.value(5).startsWith(QStringLiteral("Save square: no run to save")));
        // Over the photograph itself: refused, the photograph left as it was.
        w.form.Text6->setText(QStringLiteral("40"));
        w.run('A', dir.filePath(QStringLiteral("ok.txt")));
        QCOMPARE(w.errors.messages.size(), 6);
        const QByteArray photoBytes = fileBytes(photo);
        QVERIFY(!w.form.saveSquareFile(photo));
        QVERIFY2(w.errors.messages.value(6).contains(QStringLiteral("is the input photograph")),
                 qPrintable(w.errors.messages.value(6)));
        QCOMPARE(fileBytes(photo), photoBytes);
    }

    // texturemeter --square runs the square as the window loads it, and texturemeter-cli given the
    // square's corner, parameters, variant and seed writes the same results file.
    void theCommandLineAndTheToolRepeatASquare() {
        QTemporaryDir dir;
        const QString photo = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QString squareFile = dir.filePath(QStringLiteral("Pskin.square.json"));
        writeSquare(squareFile.toStdString(), squareOf(25, 12, 200, 40.5, 3.5, Variant::C, 9007199254740993ull));
        const QString windowResults = dir.filePath(QStringLiteral("window.txt"));
        const Outcome o = runProgram(QStringLiteral(TEXTUREMETER_PROGRAM),
                                     {"--open", photo, "--square", squareFile, "--run", "C", "--results", windowResults,
                                      "--screenshot", dir.filePath(QStringLiteral("w.png"))});
        QVERIFY2(o.status == 0, o.err.constData());
        const QByteArray fromWindow = fileBytes(windowResults);
        QCOMPARE(fromWindow.count("\r\n"), 3);
        {
            Window w(dir.path(), QStringLiteral("Pskin.jpg"));
            QVERIFY(w.form.loadSquareFile(squareFile));
            QCOMPARE(w.form.Text6->text(), QStringLiteral("40.5"));
            QCOMPARE(w.run('C', dir.filePath(QStringLiteral("in-process.txt"))), fromWindow);
        }
        const QString cliResults = dir.filePath(QStringLiteral("cli.txt"));
        const Outcome cli = runProgram(QStringLiteral(TEXTUREMETER_CLI_PROGRAM),
                                       {"--seed", "9007199254740993", "--x", "25", "--y", "12", "--side", "200",
                                        "--window", "40.5", "--neighbour", "3.5", "--variant", "C", "--output",
                                        cliResults, photo});
        QVERIFY2(cli.status == 0, cli.err.constData());
        QCOMPARE(fileBytes(cliResults), fromWindow);

        // Usage errors, and a square of another photograph: reported, nothing run.
        const Outcome both = runProgram(QStringLiteral(TEXTUREMETER_PROGRAM),
                                        {"--open", photo, "--corner", "1,1", "--square", squareFile});
        QCOMPARE(both.status, 2);
        QVERIFY(both.err.contains("give --corner or --square, not both"));
        const Outcome alone = runProgram(QStringLiteral(TEXTUREMETER_PROGRAM), {"--square", squareFile});
        QCOMPARE(alone.status, 2);
        QVERIFY(alone.err.contains("--square needs --open IMAGE"));
        const QString other = dir.filePath(QStringLiteral("other.square.json"));
        writeSquare(other.toStdString(), squareOf(25, 12, 200, 40, 4, Variant::A, 1, "P0002.jpg"));
        const QString notWritten = dir.filePath(QStringLiteral("not-written.txt"));
        const Outcome refused = runProgram(QStringLiteral(TEXTUREMETER_PROGRAM),
                                           {"--open", photo, "--square", other, "--run", "A", "--results", notWritten,
                                            "--screenshot", dir.filePath(QStringLiteral("r.png"))});
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.err.contains("holds the square of P0002.jpg, not of Pskin.jpg"), refused.err.constData());
        QVERIFY(!QFile::exists(notWritten));
    }

    // Two photographs run in the window (clock-seeded, each with its own corner, boxes and run
    // button) and saved with "Save square" beside them: one texturemeter-cli --squares batch over
    // both writes each photograph's result row and sampling line as its window run wrote them.
    void aBatchOfSavedSquaresRepeatsTheWindowRuns() {
        QTemporaryDir dir;
        const QString first = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pskin.jpg"));
        const QString second = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Pother.jpg"));
        struct WindowRun {
            QString photo;
            QString side, window, neighbour;
            int x, y;
            char variant;
            QByteArray results;
        };
        std::vector<WindowRun> runs = {{QStringLiteral("Pskin.jpg"), "170", "25", "3", 44, 19, 'C', {}},
                                       {QStringLiteral("Pother.jpg"), "150", "30", "5", 12, 60, 'B', {}}};
        for (WindowRun& r : runs) {
            Window w(dir.path(), r.photo);
            w.form.Text12->setText(r.side);
            w.form.Text6->setText(r.window);
            w.form.Text19->setText(r.neighbour);
            clickPhotoPixel(w.form, r.x, r.y);
            r.results = w.run(r.variant, dir.filePath(r.photo + QStringLiteral(".txt")));
            QVERIFY2(w.errors.messages.isEmpty(), qPrintable(w.errors.messages.join('\n')));
            QCOMPARE(r.results.count("\r\n"), 3);
            // The dialog's suggestion is the square file beside the photograph; it is taken.
            w.form.askSquareFile = [](bool, const QString& suggested) { return suggested; };
            QTest::mouseClick(w.form.saveSquareButton, Qt::LeftButton);
            QVERIFY2(w.errors.messages.isEmpty(), qPrintable(w.errors.messages.join('\n')));
        }
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("Pskin.square.json"))));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("Pother.square.json"))));

        const QString batchResults = dir.filePath(QStringLiteral("batch.txt"));
        const Outcome cli = runProgram(QStringLiteral(TEXTUREMETER_CLI_PROGRAM),
                                       {"--squares", "--output", batchResults, first, second});
        QVERIFY2(cli.status == 0, cli.err.constData());
        const QList<QByteArray> batch = fileBytes(batchResults).split('\n');
        QCOMPARE(batch.size(), 6);  // header, two entries, the empty rest after the last line end
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const QList<QByteArray> window = runs[i].results.split('\n');
            QCOMPARE(batch[0], window[0]);
            QCOMPARE(batch[qsizetype(1 + 2 * i)], window[1]);
            QCOMPARE(batch[qsizetype(2 + 2 * i)], window[2]);
        }
    }

    // The two buttons sit in free space with their captions and take part in no overlap.
    void buttonsInFreeSpace() {
        Form1 form;
        QCOMPARE(form.saveSquareButton->text(), QStringLiteral("Save square"));
        QCOMPARE(form.loadSquareButton->text(), QStringLiteral("Load square"));
        const QFontMetrics fm(form.saveSquareButton->font());
        for (QPushButton* b : {form.saveSquareButton, form.loadSquareButton})
            QVERIFY2(fm.horizontalAdvance(b->text()) <= b->width() - 8, qPrintable(b->text()));
    }
};

QTEST_MAIN(SquareFilesTest)
#include "square_files_test.moc"
