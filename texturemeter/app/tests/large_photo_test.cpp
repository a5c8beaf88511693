// A 12-megapixel photograph selected through File1: decoded once, on a thread of its own while
// the window takes no input, then shown pixel for pixel with scroll bars; a run on it writes what
// texturemeter-cli writes for it with the same seed and corner.

#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include "imaging/image_file.hpp"
#include "imaging/random.hpp"
#include "testdata/qt_test_support.hpp"
#include "window_test_support.hpp"

using namespace texturemeter::window;
using namespace texturemeter::window::testing;

namespace {

// A 4000 x 3000 baseline JPEG: the skin sample tiled, mirrored at every other tile.
QString writeLargePhoto(const QString& folder, const QString& name) {
    const QImage sample(samplePhoto());
    QImage big(4000, 3000, QImage::Format_RGB32);
    QPainter p(&big);
    for (int ty = 0; ty * sample.height() < big.height(); ++ty)
        for (int tx = 0; tx * sample.width() < big.width(); ++tx)
            p.drawImage(tx * sample.width(), ty * sample.height(), sample.mirrored(tx % 2 == 1, ty % 2 == 1));
    p.end();
    const QString path = QDir(folder).filePath(name);
    if (!big.save(path, "JPG", 90)) qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The pixel Picture1 paints at photo pixel (x, y).
QRgb paintedAt(Form1& form, int x, int y) { return form.Picture1->grab(QRect(x, y, 1, 1)).toImage().pixel(0, 0); }

using morph::testdata::fileBytes;

}  // namespace

class LargePhotoTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString photo_;
    imaging::Image decoded_;

private slots:
    void initTestCase() {
        photo_ = writeLargePhoto(dir_.path(), QStringLiteral("P0012.jpg"));
        copyPhoto(referencePhoto(), dir_.path(), QStringLiteral("small.jpg"));
        // Decoded apart from the window, for the pixel checks.
        decoded_ = imaging::loadImageFile(photo_.toStdString());
        QCOMPARE(decoded_.width, 4000);
        QCOMPARE(decoded_.height, 3000);
    }

    // While it decodes, the window shows the wait pointer and a click on the photo is dropped;
    // then the photo is there, decoded once, with its size, texts and scroll bars.
    void largePhotoIsDecodedOnceAndShown() {
        Form1 form;
        ReportedErrors errors;
        errors.attach(form);
        showForm(form);
        goToFolder(form, dir_.path());
        const unsigned long before = form.session().photoDecodes();
        bool sawLoading = false, sawWaitPointer = false;
        QTimer::singleShot(0, &form, [&] {
            sawLoading = form.loadingPhoto();
            sawWaitPointer = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, QPoint(50, 60));
        });
        QVERIFY(clickFile(form, QStringLiteral("P0012.jpg")));
        QVERIFY(sawLoading);
        QVERIFY(sawWaitPointer);
        QVERIFY(!form.loadingPhoto());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(form.session().photoDecodes(), before + 1);
        QVERIFY2(errors.messages.isEmpty(), qPrintable(errors.messages.join('\n')));
        // The click during the decode took no corner.
        QCOMPARE(form.Text20->text(), QString());
        QCOMPARE(form.Label4->text(), QString());

        QVERIFY(form.session().photoLoaded());
        QCOMPARE(form.Text1->text(), form.Dir1->path() + QStringLiteral("/P0012.jpg"));
        QCOMPARE(form.Text2->text(), QStringLiteral("3000"));
        QCOMPARE(form.Text3->text(), QStringLiteral("4000"));
        QCOMPARE(form.Text11->text(), form.Dir1->path() + QStringLiteral("/0012h.bmp"));
        QCOMPARE(form.Picture1->size(), QSize(4000, 3000));
        QCOMPARE(form.Picture1Place->horizontalScrollBar()->maximum(), 4000 - form.Picture1Place->viewport()->width());
        QCOMPARE(form.Picture1Place->verticalScrollBar()->maximum(), 3000 - form.Picture1Place->viewport()->height());
        for (QPoint p : {QPoint(0, 0), QPoint(3999, 2999), QPoint(2000, 1500), QPoint(1234, 2987), QPoint(3999, 0)})
            QCOMPARE(paintedAt(form, p.x(), p.y()), toQRgb(decoded_.at(p.x(), p.y())));
        // Scrolled to its far corner, the place shows the photo's last pixels.
        form.Picture1Place->horizontalScrollBar()->setValue(form.Picture1Place->horizontalScrollBar()->maximum());
        form.Picture1Place->verticalScrollBar()->setValue(form.Picture1Place->verticalScrollBar()->maximum());
        QTest::qWait(20);
        const QImage place = form.Picture1Place->viewport()->grab().toImage();
        const QPoint corner = form.Picture1->mapTo(form.Picture1Place->viewport(), QPoint(3999, 2999));
        QCOMPARE(place.pixel(corner), toQRgb(decoded_.at(3999, 2999)));
        const QPoint inner = form.Picture1->mapTo(form.Picture1Place->viewport(), QPoint(3800, 2850));
        QCOMPARE(place.pixel(inner), toQRgb(decoded_.at(3800, 2850)));

        // Each selection decodes once more; a small photo after it loads as before.
        QVERIFY(clickFile(form, QStringLiteral("P0012.jpg")));
        QCOMPARE(form.session().photoDecodes(), before + 2);
        QVERIFY(clickFile(form, QStringLiteral("small.jpg")));
        QCOMPARE(form.session().photoDecodes(), before + 3);
        QCOMPARE(form.Text3->text(), QStringLiteral("400"));
        QCOMPARE(form.Picture1->size(), QSize(407, 407));
        QCOMPARE(paintedAt(form, 399, 299), form.Picture1->shownImage().pixel(399, 299));
    }

    // Start(A) on the large photo, corner clicked in the middle, gives the tool's results file.
    void runMatchesTheTool() {
        imaging::FastRandom random(imaging::deriveSeed(7, 0));
        Form1 form(&random);
        ReportedErrors errors;
        errors.attach(form);
        form.hooks().soundBeep = [] {};
        showForm(form);
        goToFolder(form, dir_.path());
        QVERIFY(clickFile(form, QStringLiteral("P0012.jpg")));
        clickPhotoPixel(form, 1900, 1400);
        QCOMPARE(form.Text20->text(), QStringLiteral("1900"));
        QCOMPARE(form.Text21->text(), QStringLiteral("1400"));
        const QString results = QDir(dir_.path()).filePath(QStringLiteral("window.txt"));
        form.Text5->setText(results);
        const unsigned long decodes = form.session().photoDecodes();
        form.pressRunButton('A');
        QVERIFY2(errors.messages.isEmpty(), qPrintable(errors.messages.join('\n')));
        QCOMPARE(form.session().photoDecodes(), decodes);  // the run reads the photo as shown

        const QString cliResults = QDir(dir_.path()).filePath(QStringLiteral("cli.txt"));
        const morph::testdata::ProgramRun cli = morph::testdata::runProgram(
            QStringLiteral(TEXTUREMETER_CLI_PROGRAM),
            {"--seed", "7", "--x", "1900", "--y", "1400", "--output", cliResults, photo_});
        QCOMPARE(cli.status, 0);
        const QByteArray window = fileBytes(results);
        QCOMPARE(window.count("\r\n"), 3);
        QCOMPARE(fileBytes(cliResults), window);
    }

    // A large photograph that cannot be decoded: the error is reported after the wait, the
    // selection is reset as for any unreadable file, and a run is refused.
    void brokenLargePhotoIsReported() {
        QFile whole(photo_);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QByteArray head = whole.read(4000);
        const QString broken = QDir(dir_.path()).filePath(QStringLiteral("cut.jpg"));
        QFile cut(broken);
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(head);
        cut.close();

        Form1 form;
        ReportedErrors errors;
        errors.attach(form);
        showForm(form);
        goToFolder(form, dir_.path());
        const unsigned long before = form.session().photoDecodes();
        QVERIFY(clickFile(form, QStringLiteral("cut.jpg")));
        QCOMPARE(form.session().photoDecodes(), before + 1);
        QVERIFY(!form.loadingPhoto());
        QCOMPARE(errors.messages.size(), 1);
        QVERIFY2(errors.messages.first().contains(QStringLiteral("cut.jpg")), qPrintable(errors.messages.first()));
        QVERIFY(!form.session().photoLoaded());
        QCOMPARE(form.Text1->text(), form.Dir1->path() + QStringLiteral("/cut.jpg"));
        form.pressRunButton('A');
        QCOMPARE(errors.messages.size(), 2);
    }
};

QTEST_MAIN(LargePhotoTest)
#include "large_photo_test.moc"
