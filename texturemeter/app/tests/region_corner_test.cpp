// A click on Picture1 chooses the square's corner: Text20/Text21, "Plot", the light-cyan box
// where the square fits, Picture3 hidden until "P-1"/"P-3"; moving shows the grey level.

#include <QScrollBar>
#include <QtTest>

#include "window_test_support.hpp"

using namespace texturemeter::window;
using namespace texturemeter::window::testing;

namespace {
const QRgb kLightCyan = qRgb(0, 255, 255);

// The window with the 400 x 300 reference photo selected.
struct Selected {
    QTemporaryDir dir;
    Form1 form;
    Selected() {
        copyPhoto(referencePhoto(), dir.path(), QStringLiteral("skin.jpg"));
        showForm(form);
        goToFolder(form, dir.path());
        if (!clickFile(form, QStringLiteral("skin.jpg"))) qFatal("skin.jpg not listed");
    }
    QRgb shown(int x, int y) const { return form.Picture1->shownImage().pixel(x, y); }
    // Whether the whole outline of the box from (x1, y1) to (x2, y2) is light cyan.
    bool boxDrawn(int x1, int y1, int x2, int y2) const {
        for (int x = x1; x <= x2; ++x)
            if (shown(x, y1) != kLightCyan || shown(x, y2) != kLightCyan) return false;
        for (int y = y1; y <= y2; ++y)
            if (shown(x1, y) != kLightCyan || shown(x2, y) != kLightCyan) return false;
        return true;
    }
    int cyanPixels() const {
        int n = 0;
        const QImage& img = form.Picture1->shownImage();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == kLightCyan;
        return n;
    }
};
}  // namespace

class RegionCornerTest : public QObject {
    Q_OBJECT
private slots:
    void clickSetsTheCornerAndDrawsTheBox() {
        Selected s;
        QVERIFY(s.form.Picture3->isVisible());
        QCOMPARE(s.cyanPixels(), 0);
        clickPhotoPixel(s.form, 20, 30);
        QCOMPARE(s.form.Text20->text(), QStringLiteral("20"));
        QCOMPARE(s.form.Text21->text(), QStringLiteral("30"));
        QCOMPARE(s.form.Label4->text(), QStringLiteral("Plot"));
        QVERIFY(!s.form.Picture3->isVisible());
        // From (corner - 2) to (corner + side + 2): a box of 205 x 205 pixels, nothing else.
        QVERIFY(s.boxDrawn(18, 28, 222, 232));
        QCOMPARE(s.cyanPixels(), 4 * 204);
        QVERIFY(s.shown(100, 100) != kLightCyan);
        QCOMPARE(s.form.session().regionSide, int16_t(200));
    }

    // A mouse position with fractions (high-resolution screens) reaches the session as it is: the
    // corner is rounded half to even.
    void fractionalClickRoundsTheCornerHalfToEven() {
        Selected s;
        const QPointF at(20.5, 31.5);
        QMouseEvent press(QEvent::MouseButtonPress, at, s.form.Picture1->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(s.form.Picture1, &press);
        QCOMPARE(s.form.Text20->text(), QStringLiteral("20"));
        QCOMPARE(s.form.Text21->text(), QStringLiteral("32"));
        QVERIFY(s.boxDrawn(18, 30, 222, 234));
    }

    // The box is drawn only where side + y <= height and side + x < width (400 x 300 here).
    void boxOnlyWhereTheSquareFits() {
        Selected s;
        clickPhotoPixel(s.form, 199, 100);  // 200 + 100 <= 300 and 200 + 199 < 400
        // The box runs to (401, 302), past the photo: only its top and left sides show.
        QCOMPARE(s.shown(197, 98), kLightCyan);
        QCOMPARE(s.shown(399, 98), kLightCyan);
        QCOMPARE(s.shown(197, 299), kLightCyan);
        QCOMPARE(s.cyanPixels(), 203 + 202 - 1);

        clickPhotoPixel(s.form, 200, 100);  // 200 + 200 is not < 400
        QCOMPARE(s.form.Text20->text(), QStringLiteral("200"));
        QCOMPARE(s.form.Label4->text(), QStringLiteral("Plot"));
        QCOMPARE(s.cyanPixels(), 0);  // the earlier box is gone too

        clickPhotoPixel(s.form, 199, 101);  // 200 + 101 > 300
        QCOMPARE(s.form.Text21->text(), QStringLiteral("101"));
        QCOMPARE(s.cyanPixels(), 0);

        clickPhotoPixel(s.form, 300, 200);
        QCOMPARE(s.form.Text20->text(), QStringLiteral("300"));
        QCOMPARE(s.form.Text21->text(), QStringLiteral("200"));
        QCOMPARE(s.form.session().regionX, int16_t(300));
        QCOMPARE(s.cyanPixels(), 0);
    }

    // The side is read from Text12 at the click; a right click counts as well.
    void sideComesFromText12() {
        Selected s;
        s.form.Text12->setText(QStringLiteral("50"));
        clickPhotoPixel(s.form, 10, 10, Qt::RightButton);
        QCOMPARE(s.form.session().regionSide, int16_t(50));
        QVERIFY(s.boxDrawn(8, 8, 62, 62));
        QCOMPARE(s.cyanPixels(), 4 * 54);
    }

    void p1AndP3ShowPicture3Again() {
        Selected s;
        clickPhotoPixel(s.form, 5, 5);
        QVERIFY(!s.form.Picture3->isVisible());
        QTest::mouseClick(s.form.Command1, Qt::LeftButton);
        QVERIFY(s.form.Picture3->isVisible());
        clickPhotoPixel(s.form, 5, 5);
        QVERIFY(!s.form.Picture3->isVisible());
        QTest::mouseClick(s.form.Command4, Qt::LeftButton);
        QVERIFY(s.form.Picture3->isVisible());
    }

    // On a scrolled photo the click still lands on the photo pixel under the pointer.
    void clickOnAScrolledPhotoMapsToPhotoPixels() {
        QTemporaryDir dir;
        writeGradientJpeg(dir.path(), QStringLiteral("big.jpg"), 900, 700);
        Form1 form;
        showForm(form);
        goToFolder(form, dir.path());
        QVERIFY(clickFile(form, QStringLiteral("big.jpg")));
        form.Text12->setText(QStringLiteral("100"));
        clickPhotoPixel(form, 650, 480);
        QVERIFY(form.Picture1Place->horizontalScrollBar()->value() > 0);
        QVERIFY(form.Picture1Place->verticalScrollBar()->value() > 0);
        QCOMPARE(form.Text20->text(), QStringLiteral("650"));
        QCOMPARE(form.Text21->text(), QStringLiteral("480"));
        QCOMPARE(form.Picture1->shownImage().pixel(648, 478), kLightCyan);
        QCOMPARE(form.Picture1->shownImage().pixel(752, 582), kLightCyan);
    }

    // Moving over the photo prints the grey level under the pointer into Picture9.
    void greyReadoutFollowsThePointer() {
        QTemporaryDir dir;
        QImage img(100, 60, QImage::Format_RGB32);
        img.fill(Qt::white);
        for (int y = 0; y < 60; ++y)
            for (int x = 50; x < 100; ++x) img.setPixel(x, y, qRgb(0, 0, 0));
        QVERIFY(img.save(dir.filePath(QStringLiteral("halves.jpg")), "JPG", 100));
        Form1 form;
        showForm(form);
        goToFolder(form, dir.path());
        QVERIFY(clickFile(form, QStringLiteral("halves.jpg")));
        QTest::mouseMove(form.Picture1, QPoint(10, 30));
        QCOMPARE(form.Picture9->shownLines(), QStringList{QStringLiteral(" 255 ")});
        QTest::mouseMove(form.Picture1, QPoint(90, 30));
        QCOMPARE(form.Picture9->shownLines(), QStringList{QStringLiteral(" 0 ")});
        // Beside the photo, inside Picture1's place, the pointer reads white.
        QTest::mouseMove(form.Picture1, QPoint(300, 200));
        QCOMPARE(form.Picture9->shownLines(), QStringList{QStringLiteral(" 255 ")});
        // Only the latest reading is shown.
        QTest::mouseMove(form.Picture1, QPoint(12, 40));
        QCOMPARE(form.Picture9->shownLines().size(), 1);
    }
};

QTEST_MAIN(RegionCornerTest)
#include "region_corner_test.moc"
