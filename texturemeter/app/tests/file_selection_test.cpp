// A click on a file in File1: the photo in Picture1, its size, the input path, the six
// derived names beside it, and the region reset to the corner.

#include <QScrollBar>
#include <QtTest>

#include "window_test_support.hpp"

using namespace texturemeter::window;
using namespace texturemeter::window::testing;

class FileSelectionTest : public QObject {
    Q_OBJECT
private slots:
    void selectingAFileFillsTheTexts() {
        QTemporaryDir dir;
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("P1234.jpg"));
        Form1 form;
        showForm(form);
        form.Text12->setText(QStringLiteral("150"));
        form.Text5->setText(QStringLiteral("/somewhere/else.txt"));
        goToFolder(form, dir.path());
        QVERIFY(clickFile(form, QStringLiteral("P1234.jpg")));
        const QString folder = form.Dir1->path();
        QCOMPARE(form.Text1->text(), folder + QStringLiteral("/P1234.jpg"));
        QCOMPARE(form.Text2->text(), QStringLiteral("300"));  // ScaleHeight
        QCOMPARE(form.Text3->text(), QStringLiteral("400"));  // ScaleWidth
        QCOMPARE(form.Text11->text(), folder + QStringLiteral("/1234h.bmp"));
        QCOMPARE(form.Text13->text(), folder + QStringLiteral("/1234a.bmp"));
        QCOMPARE(form.Text14->text(), folder + QStringLiteral("/1234b.bmp"));
        QCOMPARE(form.Text15->text(), folder + QStringLiteral("/1234c.bmp"));
        QCOMPARE(form.Text16->text(), folder + QStringLiteral("/1234d.bmp"));
        QCOMPARE(form.Text18->text(), folder + QStringLiteral("/1234e.bmp"));
        // The parameters keep what the user typed.
        QCOMPARE(form.Text12->text(), QStringLiteral("150"));
        QCOMPARE(form.Text5->text(), QStringLiteral("/somewhere/else.txt"));
        QCOMPARE(form.session().imageFileName, std::string("P1234.jpg"));
    }

    // Picture1 shows the photo at one photo pixel per screen pixel, all of it.
    void pictureShowsThePhotoPixelForPixel() {
        QTemporaryDir dir;
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("skin.jpg"));
        Form1 form;
        showForm(form);
        goToFolder(form, dir.path());
        QVERIFY(clickFile(form, QStringLiteral("skin.jpg")));
        // The picture fills its place (409 x 409 less the frame); the photo is its top-left part,
        // and the rest reads white.
        QCOMPARE(form.Picture1->size(), form.Picture1Place->viewport()->size());
        QCOMPARE(form.Picture1->size(), QSize(407, 407));
        QCOMPARE(form.Picture1->shownImage().size(), QSize(400, 300));
        const QImage shown = form.Picture1->grab().toImage();
        const QImage photo(referencePhoto());
        QCOMPARE(shown.pixel(405, 100), qRgb(255, 255, 255));
        QCOMPARE(shown.pixel(100, 305), qRgb(255, 255, 255));
        int equal = 0;
        for (QPoint p : {QPoint(0, 0), QPoint(399, 299), QPoint(123, 45), QPoint(250, 280)}) {
            const QRgb a = shown.pixel(p), b = form.Picture1->shownImage().pixel(p);
            const imaging::Colour c = form.session().photo.pointAt(p.x(), p.y());
            QCOMPARE(a, toQRgb(c));
            QCOMPARE(b, toQRgb(c));
            // Qt's own decoder sees nearly the same colours (decoders may differ by a level).
            const QRgb q = photo.pixel(p);
            equal += std::abs(qRed(q) - qRed(a)) <= 3 && std::abs(qGreen(q) - qGreen(a)) <= 3 &&
                     std::abs(qBlue(q) - qBlue(a)) <= 3;
        }
        QCOMPARE(equal, 4);
    }

    // Selecting a file resets the region: the box of an earlier click disappears and the
    // corner is (0, 0) with side 0 until the next click or run.
    void selectingAFileResetsTheCorner() {
        QTemporaryDir dir;
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("one.jpg"));
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("two.jpg"));
        Form1 form;
        showForm(form);
        goToFolder(form, dir.path());
        QVERIFY(clickFile(form, QStringLiteral("one.jpg")));
        const QRgb before = form.Picture1->shownImage().pixel(48, 58);
        clickPhotoPixel(form, 50, 60);
        QCOMPARE(form.session().regionX, int16_t(50));
        QCOMPARE(form.Picture1->shownImage().pixel(48, 58), qRgb(0, 255, 255));
        QVERIFY(clickFile(form, QStringLiteral("two.jpg")));
        QCOMPARE(form.session().regionX, int16_t(0));
        QCOMPARE(form.session().regionY, int16_t(0));
        QCOMPARE(form.session().regionSide, int16_t(0));
        QCOMPARE(form.Picture1->shownImage().pixel(48, 58), before);
        QVERIFY(form.Text1->text().endsWith(QStringLiteral("/two.jpg")));
    }

    // A photo larger than the picture's place gets scroll bars, and all of it can be shown.
    void largePhotoScrolls() {
        QTemporaryDir dir;
        writeGradientJpeg(dir.path(), QStringLiteral("big.jpg"), 700, 520);
        Form1 form;
        showForm(form);
        goToFolder(form, dir.path());
        QVERIFY(clickFile(form, QStringLiteral("big.jpg")));
        QCOMPARE(form.Text2->text(), QStringLiteral("520"));
        QCOMPARE(form.Text3->text(), QStringLiteral("700"));
        QCOMPARE(form.Picture1->size(), QSize(700, 520));
        QCOMPARE(form.Picture1Place->geometry(), QRect(0, 0, 409, 409));
        QTRY_VERIFY(form.Picture1Place->horizontalScrollBar()->isVisible());
        QTRY_VERIFY(form.Picture1Place->verticalScrollBar()->isVisible());
        form.Picture1Place->horizontalScrollBar()->setValue(form.Picture1Place->horizontalScrollBar()->maximum());
        form.Picture1Place->verticalScrollBar()->setValue(form.Picture1Place->verticalScrollBar()->maximum());
        // The bottom-right pixel of the photo shows in the bottom-right corner of the viewport.
        QWidget* viewport = form.Picture1Place->viewport();
        const QPoint corner = form.Picture1->mapFrom(viewport, QPoint(viewport->width() - 1, viewport->height() - 1));
        QCOMPARE(corner, QPoint(699, 519));
    }

    // A file that is not a picture: the error is reported with the file's name, the window
    // stays usable and the next file loads.
    void unreadableFileIsReported() {
        QTemporaryDir dir;
        {
            QFile bad(dir.filePath(QStringLiteral("broken.jpg")));
            QVERIFY(bad.open(QIODevice::WriteOnly));
            bad.write("this is not a picture");
        }
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("good.jpg"));
        Form1 form;
        ReportedErrors errors;
        errors.attach(form);
        showForm(form);
        goToFolder(form, dir.path());
        QVERIFY(clickFile(form, QStringLiteral("broken.jpg")));
        QCOMPARE(errors.messages.size(), 1);
        QVERIFY2(errors.messages[0].contains(QStringLiteral("broken.jpg")), qPrintable(errors.messages[0]));
        QVERIFY(form.isVisible());
        QVERIFY(clickFile(form, QStringLiteral("good.jpg")));
        QCOMPARE(errors.messages.size(), 1);
        QCOMPARE(form.Text3->text(), QStringLiteral("400"));
    }

    // The command line's --open goes to the photo's folder and selects it there.
    void openImageSelectsInItsFolder() {
        QTemporaryDir dir;
        const QString path = copyPhoto(referencePhoto(), dir.path(), QStringLiteral("Xabc.jpg"));
        Form1 form;
        QVERIFY(form.openImage(path));
        QCOMPARE(form.Dir1->path(), QFileInfo(path).absolutePath());
        QCOMPARE(form.File1->currentItem()->text(), QStringLiteral("Xabc.jpg"));
        QCOMPARE(form.Text13->text(), QFileInfo(path).absolutePath() + QStringLiteral("/abca.bmp"));
    }
};

QTEST_MAIN(FileSelectionTest)
#include "file_selection_test.moc"
