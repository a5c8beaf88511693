// The window layer both windows share: the picture view (pixels, printed lines, mouse positions),
// the drive/folder/file chooser, the input block of long commands and the command guard.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <new>
#include <stdexcept>

#include "imaging/errors.hpp"
#include "imaging/surface.hpp"
#include "ui/command_guard.hpp"
#include "ui/file_chooser.hpp"
#include "ui/picture_view.hpp"

using namespace ui;

namespace {

constexpr imaging::Colour kRed = 0x000000FF;   // 0x00BBGGRR
constexpr imaging::Colour kBlue = 0x00FF0000;
constexpr imaging::Colour kGrey = 0x00808080;

void touch(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) qFatal("cannot create %s", qPrintable(path));
}

// Sends a mouse event with a position that may have fractions, as a high-resolution screen does.
void sendMouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

QStringList texts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text().trimmed();
    return out;
}

QListWidgetItem* itemFor(QListWidget* list, const QString& path) {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(Qt::UserRole).toString() == path) return list->item(i);
    return nullptr;
}

void clickItem(QListWidget* list, QListWidgetItem* item, bool twice = false) {
    list->scrollToItem(item);
    const QPoint at = list->visualItemRect(item).center();
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    else
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

class UiTest : public QObject {
    Q_OBJECT
private slots:
    // --- picture view -------------------------------------------------------------------------

    void viewShowsOneSurfacePixelPerScreenPixelInsideItsFrame() {
        imaging::PictureSurface s(4, 3);
        s.setBackgroundColour(kGrey);
        s.cls();
        s.psetAt(0, 0, kRed);
        s.psetAt(3, 2, kBlue);
        PictureView view;
        view.setFrameStyle(QFrame::Panel | QFrame::Sunken);
        view.setLineWidth(1);
        view.resize(10, 8);
        view.setSurface(&s);
        QCOMPARE(view.shownImage().size(), QSize(4, 3));
        QCOMPARE(view.shownImage().pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(view.shownImage().pixel(3, 2), qRgb(0, 0, 255));
        const QImage shot = view.grab().toImage();
        // The frame takes one pixel; the surface starts inside it, the rest is the background.
        QCOMPARE(shot.pixel(1, 1), qRgb(255, 0, 0));
        QCOMPARE(shot.pixel(4, 3), qRgb(0, 0, 255));
        QCOMPARE(shot.pixel(5, 4), qRgb(128, 128, 128));
        QCOMPARE(shot.pixel(8, 6), qRgb(128, 128, 128));
        QVERIFY(shot.pixel(0, 0) != qRgb(255, 0, 0));
    }

    // A paint of part of the view (as a scroll area exposes it) shows exactly that part of the
    // surface, at the same place as a paint of the whole view; beyond the surface, its background.
    void partOfTheViewShowsThatPartOfTheSurface() {
        imaging::PictureSurface s(37, 23);
        s.setBackgroundColour(kGrey);
        s.cls();
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x) s.psetAt(x, y, imaging::rgbColour(x * 7, y * 11, (x + y) % 256));
        PictureView view;
        view.setFrameStyle(QFrame::Panel | QFrame::Sunken);
        view.setLineWidth(1);
        view.resize(45, 30);
        view.setSurface(&s);
        const QImage whole = view.grab().toImage();
        for (const QRect part : {QRect(5, 3, 9, 7), QRect(30, 20, 15, 10), QRect(0, 0, 2, 2), QRect(37, 23, 3, 3)}) {
            const QImage piece = view.grab(part).toImage();
            QCOMPARE(piece.size(), part.size());
            for (int y = 0; y < part.height(); ++y)
                for (int x = 0; x < part.width(); ++x) {
                    const QPoint at = part.topLeft() + QPoint(x, y);
                    QCOMPARE(piece.pixel(x, y), whole.pixel(at));
                    if (at.x() >= 1 && at.y() >= 1 && at.x() <= 37 && at.y() <= 23)
                        QCOMPARE(piece.pixel(x, y), toQRgb(s.pointAt(at.x() - 1, at.y() - 1)));
                    else if (at.x() >= 1 && at.y() >= 1 && at.x() < 44 && at.y() < 29)
                        QCOMPARE(piece.pixel(x, y), qRgb(128, 128, 128));
                }
        }
        // The whole picture, made when asked for, is the surface.
        QCOMPARE(view.shownImage().size(), QSize(37, 23));
        QCOMPARE(view.shownImage().pixel(36, 22), toQRgb(s.pointAt(36, 22)));
    }

    void viewWithoutSurfaceShowsItsPlainBackground() {
        PictureView view;
        view.resize(6, 6);
        QCOMPARE(view.grab().toImage().pixel(3, 3), qRgb(255, 255, 255));
        view.setPlainBackground(QColor(10, 20, 30));
        QCOMPARE(view.grab().toImage().pixel(3, 3), qRgb(10, 20, 30));
        QVERIFY(view.shownImage().isNull());
    }

    void viewPrintsTheSurfaceLinesTopDown() {
        imaging::PictureSurface s(60, 40);
        s.print(std::string("AB"));
        s.print(std::string("CD"));
        PictureView view;
        view.resize(60, 40);
        view.setSurface(&s);
        QCOMPARE(view.shownLines(), (QStringList{"AB", "CD"}));
        // Black text in the first and the second line of the font, nothing below them.
        const QImage shot = view.grab().toImage();
        const int lineHeight = QFontMetrics(view.font()).height();
        const auto inkInRows = [&](int from, int to) {
            for (int y = from; y < std::min(to, shot.height()); ++y)
                for (int x = 0; x < shot.width(); ++x)
                    if (qGray(shot.pixel(x, y)) < 128) return true;
            return false;
        };
        QVERIFY(inkInRows(0, lineHeight));
        QVERIFY(inkInRows(lineHeight, 2 * lineHeight));
        QVERIFY(!inkInRows(2 * lineHeight + 1, 40));
    }

    void syncReadsTheSurfaceOnlyAfterItChanged() {
        imaging::PictureSurface s(2, 2);
        PictureView view;
        view.resize(2, 2);
        view.setSurface(&s);
        QVERIFY(!view.sync());
        s.psetAt(1, 1, kRed);
        QVERIFY(view.sync());
        QCOMPARE(view.shownImage().pixel(1, 1), qRgb(255, 0, 0));
        QVERIFY(!view.sync());
        s.print(std::string("x"));
        QVERIFY(view.sync());
        QCOMPARE(view.shownLines(), QStringList{"x"});
        // A repaint without sync reads the changed surface too.
        s.psetAt(0, 0, kBlue);
        QCOMPARE(view.grab().toImage().pixel(0, 0), qRgb(0, 0, 255));
        view.setSurface(nullptr);
        QVERIFY(view.shownImage().isNull());
        QVERIFY(view.shownLines().isEmpty());
    }

    void exactPositionsKeepFractionsAndSubtractTheFrame() {
        PictureView view;
        view.setFrameStyle(QFrame::Panel | QFrame::Sunken);
        view.setLineWidth(1);
        view.resize(50, 50);
        QCOMPARE(view.pointerPositions(), PointerPositions::Exact);
        QSignalSpy pressed(&view, &PictureView::pressed);
        QSignalSpy moved(&view, &PictureView::moved);
        sendMouse(&view, QEvent::MouseButtonPress, {10.5, 20.75}, Qt::RightButton, Qt::RightButton);
        QCOMPARE(pressed.size(), 1);
        QCOMPARE(pressed[0][0].toDouble(), 9.5);
        QCOMPARE(pressed[0][1].toDouble(), 19.75);
        QCOMPARE(pressed[0][2].value<Qt::MouseButtons>(), Qt::MouseButtons(Qt::RightButton));
        sendMouse(&view, QEvent::MouseMove, {3.25, 4.5}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(moved.size(), 1);
        QCOMPARE(moved[0][0].toDouble(), 2.25);
        QCOMPARE(moved[0][1].toDouble(), 3.5);
        QCOMPARE(moved[0][2].value<Qt::MouseButtons>(), Qt::MouseButtons(Qt::LeftButton));
    }

    void wholePixelPositionsTakeThePixelUnderThePointer() {
        PictureView view;
        view.resize(50, 50);
        view.setPointerPositions(PointerPositions::WholePixels);
        view.setMouseTracking(true);
        QSignalSpy pressed(&view, &PictureView::pressed);
        QSignalSpy moved(&view, &PictureView::moved);
        sendMouse(&view, QEvent::MouseButtonPress, {10.5, 20.75}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&view, QEvent::MouseMove, {7.99, 0.01}, Qt::NoButton, Qt::NoButton);
        sendMouse(&view, QEvent::MouseMove, {12.0, 3.5}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(pressed.size(), 1);
        QCOMPARE(moved.size(), 2);
        QCOMPARE(pressed[0][0].toDouble(), 10.0);
        QCOMPARE(pressed[0][1].toDouble(), 20.0);
        QCOMPARE(moved[0][0].toDouble(), 7.0);
        QCOMPARE(moved[0][1].toDouble(), 0.0);
        QCOMPARE(moved[1][0].toDouble(), 12.0);
        QCOMPARE(moved[1][1].toDouble(), 3.0);
    }

    void clickIsAPressAndAReleaseInside() {
        PictureView view;
        view.resize(20, 20);
        QSignalSpy clicked(&view, &PictureView::clicked);
        QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(clicked.size(), 1);
        sendMouse(&view, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
        sendMouse(&view, QEvent::MouseButtonRelease, {30, 5}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(clicked.size(), 1);
        sendMouse(&view, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(clicked.size(), 1);
    }

    void buttonStatesAreTheSystemsNumbers() {
        QCOMPARE(PictureView::buttonState(Qt::NoButton), 0);
        QCOMPARE(PictureView::buttonState(Qt::LeftButton), 1);
        QCOMPARE(PictureView::buttonState(Qt::RightButton), 2);
        QCOMPARE(PictureView::buttonState(Qt::LeftButton | Qt::RightButton), 3);
        QCOMPARE(PictureView::buttonState(Qt::MiddleButton), 4);
        QCOMPARE(ui::toQRgb(0x00336699), qRgb(0x99, 0x66, 0x33));
    }

    // --- chooser ------------------------------------------------------------------------------

    void drivesAreTheRootThenMountedFolders() {
        const QStringList roots = DriveList::roots();
        QCOMPARE(roots.value(0), QStringLiteral("/"));
        QCOMPARE(roots.count(QStringLiteral("/")), 1);
        for (const QString& r : roots) QVERIFY2(QFileInfo(r).isDir(), qPrintable(r));
        QCOMPARE(DriveList::driveOf("/a/b", {"/", "/a", "/ab"}), QStringLiteral("/a"));
        QCOMPARE(DriveList::driveOf("/abc", {"/", "/a", "/ab"}), QStringLiteral("/"));
        QCOMPARE(DriveList::driveOf("/ab", {"/", "/a", "/ab"}), QStringLiteral("/ab"));
    }

    void fileListShowsMatchingFilesOfAnyCaseSortedByName() {
        QTemporaryDir dir;
        for (const char* name : {"b.jpg", "A.JPG", "c.Jpg", "d.jpeg", "e.png", "f.jpg.txt"}) touch(dir.filePath(name));
        QDir(dir.path()).mkdir(QStringLiteral("folder.jpg"));
        FileList list;
        QCOMPARE(list.pattern(), QStringLiteral("*"));
        list.setPath(dir.path());
        QCOMPARE(list.fileNames(), (QStringList{"A.JPG", "b.jpg", "c.Jpg", "d.jpeg", "e.png", "f.jpg.txt"}));
        list.setPattern(QStringLiteral("*.jpg"));
        QCOMPARE(list.fileNames(), (QStringList{"A.JPG", "b.jpg", "c.Jpg"}));
        touch(dir.filePath("ab.jpg"));
        QCOMPARE(list.fileNames().size(), 3);
        list.refresh();
        QCOMPARE(list.fileNames(), (QStringList{"A.JPG", "ab.jpg", "b.jpg", "c.Jpg"}));
        // Enter on a highlighted name chooses it like a click.
        QSignalSpy chosen(&list, &FileList::fileClicked);
        list.setCurrentRow(2);
        QTest::keyClick(&list, Qt::Key_Return);
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen[0][0].toString(), QStringLiteral("b.jpg"));
    }

    void folderListShowsTheWayDownThenTheSubfolders() {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("inner/deep"));
        QDir(dir.path()).mkdir(QStringLiteral("Other"));
        DirList list;
        QSignalSpy changed(&list, &DirList::pathChanged);
        QVERIFY(list.setPath(dir.path() + "/inner/../"));
        const QString here = QDir::cleanPath(dir.path());
        QCOMPARE(list.path(), here);
        QCOMPARE(changed.size(), 1);
        const QStringList shown = texts(&list);
        QCOMPARE(shown.value(0), DriveList::driveOf(here));
        QCOMPARE(shown.mid(shown.size() - 3), (QStringList{QFileInfo(here).fileName(), "inner", "Other"}));
        QCOMPARE(list.currentItem()->text().trimmed(), QFileInfo(here).fileName());
        // Each level is indented two spaces more than the one above.
        const QString last = list.item(list.count() - 1)->text();
        const QString current = list.currentItem()->text();
        QCOMPARE(last.size() - last.trimmed().size(), current.size() - current.trimmed().size() + 2);
    }

    void folderOpensOnDoubleClickOrOnSingleClickWhenAsked() {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("inner"));
        const QString here = QDir::cleanPath(dir.path());
        DirList list;
        list.resize(300, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.setPath(here);
        clickItem(&list, itemFor(&list, here + "/inner"));
        QTest::qWait(20);
        QCOMPARE(list.path(), here);
        clickItem(&list, itemFor(&list, here + "/inner"), true);
        QTRY_COMPARE(list.path(), here + "/inner");
        list.setOpenOnSingleClick(true);
        clickItem(&list, itemFor(&list, here));
        QCOMPARE(list.path(), here);
    }

    void folderThatCannotBeReadIsReportedAndTheListStays() {
        QTemporaryDir dir;
        DirList list;
        list.setPath(dir.path());
        const QStringList before = texts(&list);
        QSignalSpy failed(&list, &DirList::failed);
        QVERIFY(!list.setPath(dir.filePath("missing")));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed[0][0].toString(), QStringLiteral("Device unavailable: ") + dir.filePath("missing"));
        QCOMPARE(list.path(), QDir::cleanPath(dir.path()));
        QCOMPARE(texts(&list), before);
    }

    void chooserKeepsTheListsInStepAndReportsTheChosenFile() {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("sub"));
        touch(dir.filePath("sub/p.jpg"));
        QWidget panel;
        FileChooser chooser(&panel);
        QCOMPARE(chooser.drive1()->parentWidget(), &panel);
        QCOMPARE(chooser.dir1()->objectName(), QStringLiteral("Dir1"));
        QCOMPARE(chooser.file1()->objectName(), QStringLiteral("File1"));
        QCOMPARE(chooser.drive1()->objectName(), QStringLiteral("Drive1"));
        QVERIFY(chooser.openFolder(dir.filePath("sub")));
        QCOMPARE(chooser.folder(), QDir::cleanPath(dir.filePath("sub")));
        QCOMPARE(chooser.drive1()->drive(), DriveList::driveOf(chooser.folder()));
        QCOMPARE(chooser.file1()->path(), chooser.folder());
        QCOMPARE(chooser.file1()->fileNames(), QStringList{"p.jpg"});
        QSignalSpy chosen(&chooser, &FileChooser::fileChosen);
        panel.resize(400, 300);
        chooser.file1()->setGeometry(0, 0, 200, 200);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        clickItem(chooser.file1(), chooser.file1()->item(0));
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen[0][0].toString(), chooser.folder());
        QCOMPARE(chosen[0][1].toString(), QStringLiteral("p.jpg"));
        // A file that came later is listed after refresh; a folder that went leads back to the
        // program's current folder.
        touch(dir.filePath("sub/q.jpg"));
        chooser.refresh();
        QCOMPARE(chooser.file1()->fileNames(), (QStringList{"p.jpg", "q.jpg"}));
        QVERIFY(QDir(dir.filePath("sub")).removeRecursively());
        chooser.refresh();
        QCOMPARE(chooser.folder(), QDir::cleanPath(QDir::currentPath()));
    }

    // A new drive shows its root, or with LastFolder the folder last shown on it. A temporary
    // folder added to Drive1 stands for a second drive.
    void newDriveShowsItsRootOrItsLastFolder() {
        for (DriveChange rule : {DriveChange::Root, DriveChange::LastFolder}) {
            QTemporaryDir first, second;
            QDir(second.path()).mkdir(QStringLiteral("inner"));
            const QString secondRoot = QDir::cleanPath(second.path());
            QWidget panel;
            FileChooser chooser(&panel, rule);
            chooser.openFolder(first.path());
            const int home = chooser.drive1()->currentIndex();
            chooser.drive1()->addItem(secondRoot);
            chooser.drive1()->setCurrentIndex(chooser.drive1()->count() - 1);
            QCOMPARE(chooser.folder(), secondRoot);
            chooser.dir1()->setPath(secondRoot + "/inner");
            chooser.drive1()->setCurrentIndex(home);
            const QString homeDrive = chooser.drive1()->drive();
            QCOMPARE(chooser.folder(), rule == DriveChange::Root ? homeDrive : QDir::cleanPath(first.path()));
            chooser.drive1()->setCurrentIndex(chooser.drive1()->count() - 1);
            QCOMPARE(chooser.folder(), rule == DriveChange::Root ? secondRoot : secondRoot + "/inner");
        }
    }

    void driveThatCannotBeReadIsReportedAndTheDriveGoesBack() {
        QTemporaryDir dir;
        QWidget panel;
        FileChooser chooser(&panel);
        chooser.openFolder(dir.path());
        QSignalSpy failed(&chooser, &FileChooser::failed);
        chooser.drive1()->addItem(dir.filePath("no-medium"));
        chooser.drive1()->setCurrentIndex(chooser.drive1()->count() - 1);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed[0][0].toString(), QStringLiteral("Device unavailable: ") + dir.filePath("no-medium"));
        QCOMPARE(chooser.folder(), QDir::cleanPath(dir.path()));
        QCOMPARE(chooser.drive1()->drive(), DriveList::driveOf(chooser.folder()));
    }

    // --- input block and command guard ----------------------------------------------------------

    void inputBlockDropsInputThatArrivesDuringTheCommand() {
        QPushButton button(QStringLiteral("b"));
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QSignalSpy clicked(&button, &QPushButton::clicked);
        {
            InputBlock block;
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            // A click sent now and one queued for later: neither reaches the button.
            QTest::mouseClick(&button, Qt::LeftButton);
            const QPointF c = QRectF(button.rect()).center();
            QCoreApplication::postEvent(&button, new QMouseEvent(QEvent::MouseButtonPress, c, button.mapToGlobal(c),
                                                                 Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(&button, new QMouseEvent(QEvent::MouseButtonRelease, c, button.mapToGlobal(c),
                                                                 Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
            QTest::keyClick(&button, Qt::Key_Space);
            // Closing is input too.
            button.close();
            QVERIFY(button.isVisible());
        }
        QCoreApplication::processEvents();
        QCOMPARE(clicked.size(), 0);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicked.size(), 1);
    }

    // Text from an input method (as Japanese is typed) and a drop are input too: both are dropped
    // while the block lives, and taken again after it.
    void inputBlockDropsInputMethodTextAndDrops() {
        QLineEdit box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.setFocus();
        const auto commit = [&box](const QString& text) {
            QInputMethodEvent typed;
            typed.setCommitString(text);
            QApplication::sendEvent(&box, &typed);
        };
        {
            InputBlock block;
            commit(QStringLiteral(u"皮疹"));
            QCoreApplication::postEvent(&box, new QInputMethodEvent(QString(), {}));
            const QEvent drop(QEvent::Drop), tablet(QEvent::TabletPress), paint(QEvent::Paint);
            QVERIFY(InputBlock::isUserInput(&drop));
            QVERIFY(InputBlock::isUserInput(&tablet));
            QVERIFY(!InputBlock::isUserInput(&paint));
        }
        QCOMPARE(box.text(), QString());
        commit(QStringLiteral(u"皮疹"));
        QCOMPARE(box.text(), QStringLiteral(u"皮疹"));
    }

    void guardReportsTheErrorAndKeepsWhatWasDone() {
        int done = 0, synced = 0;
        QStringList reported;
        CommandGuard guard;
        guard.afterCommand = [&] { ++synced; };
        guard.report = [&](const QString& m) { reported << m; };
        QVERIFY(guard.run([&] { ++done; }));
        QCOMPARE(synced, 1);
        QVERIFY(!guard.run([&] {
            ++done;
            throw imaging::RunError::overflow();
        }));
        QCOMPARE(done, 2);
        QCOMPARE(synced, 2);
        QCOMPARE(reported, QStringList{"Overflow"});
        QCOMPARE(guard.attempt([] { throw std::bad_alloc(); }), QStringLiteral("Out of memory"));
        QCOMPARE(guard.attempt([] { throw std::runtime_error(""); }), QStringLiteral("Run-time error"));
        QCOMPARE(guard.attempt([] { throw 7; }), QStringLiteral("Run-time error"));
        QCOMPARE(guard.attempt([] { throw std::invalid_argument("Type mismatch"); }), QStringLiteral("Type mismatch"));
        QCOMPARE(reported.size(), 1);  // attempt reports nothing
        QCOMPARE(synced, 6);
    }

    void blockedCommandReportsAfterInputIsTakenAgain() {
        QPushButton button(QStringLiteral("b"));
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        QSignalSpy clicked(&button, &QPushButton::clicked);
        bool blockedDuring = false, openAtReport = false;
        CommandGuard guard;
        guard.report = [&](const QString&) {
            // The message box would take clicks now: so does the button.
            QTest::mouseClick(&button, Qt::LeftButton);
            openAtReport = clicked.size() == 1 && QApplication::overrideCursor() == nullptr;
        };
        QVERIFY(!guard.runBlocked([&] {
            QTest::mouseClick(&button, Qt::LeftButton);
            blockedDuring = clicked.isEmpty() && QApplication::overrideCursor() != nullptr;
            throw imaging::RunError::divisionByZero();
        }));
        QVERIFY(blockedDuring);
        QVERIFY(openAtReport);
        QVERIFY(guard.runBlocked([] {}));
    }
};

QTEST_MAIN(UiTest)
#include "ui_test.moc"
