// Drive1, Dir1 and File1 on Linux: roots and mounted volumes, folders, "*.jpg" files of any case.

#include <QStorageInfo>
#include <QtTest>

#include "window_test_support.hpp"

using namespace texturemeter::window;
using namespace texturemeter::window::testing;

namespace {
void touch(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) qFatal("cannot create %s", qPrintable(path));
    f.write("x");
}
}  // namespace

class FileChooserTest : public QObject {
    Q_OBJECT
private slots:
    void drivesAreTheRootAndTheMountedVolumes() {
        Form1 form;
        QStringList drives;
        for (int i = 0; i < form.Drive1->count(); ++i) drives << form.Drive1->itemText(i);
        QCOMPARE(drives.value(0), QStringLiteral("/"));
        QCOMPARE(drives.count(QStringLiteral("/")), 1);
        for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
            if (v.isValid() && v.isReady() && QFileInfo(v.rootPath()).isDir())
                QVERIFY2(drives.contains(v.rootPath()), qPrintable(v.rootPath()));
        for (const QString& d : drives) QVERIFY2(QFileInfo(d).isDir(), qPrintable(d));
    }

    void fileListShowsJpgFilesOfAnyCase() {
        QTemporaryDir dir;
        for (const char* name : {"b.jpg", "A.JPG", "c.Jpg", "d.jpeg", "e.png", "f.jpg.txt", "g.bmp"})
            touch(dir.filePath(QLatin1String(name)));
        QDir(dir.path()).mkdir(QStringLiteral("folder.jpg"));
        Form1 form;
        goToFolder(form, dir.path());
        QCOMPARE(form.File1->path(), form.Dir1->path());
        QCOMPARE(form.File1->fileNames(), (QStringList{"A.JPG", "b.jpg", "c.Jpg"}));
    }

    // Dir1 shows the folders inside the current one; a double click on one opens it, and File1
    // follows.
    void doubleClickOnAFolderOpensIt() {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("inner"));
        QDir(dir.path()).mkdir(QStringLiteral("Other"));
        touch(dir.filePath(QStringLiteral("inner/x.jpg")));
        touch(dir.filePath(QStringLiteral("top.jpg")));
        Form1 form;
        showForm(form);
        goToFolder(form, dir.path());
        QCOMPARE(form.File1->fileNames(), QStringList{"top.jpg"});
        form.Dir1->doItemsLayout();
        QListWidgetItem* inner = nullptr;
        QStringList shown;
        for (int i = 0; i < form.Dir1->count(); ++i) {
            shown << form.Dir1->item(i)->text().trimmed();
            if (form.Dir1->item(i)->text().trimmed() == QLatin1String("inner")) inner = form.Dir1->item(i);
        }
        QVERIFY2(inner, qPrintable(shown.join('|')));
        QVERIFY(shown.contains(QStringLiteral("Other")));
        // The open folders start at the drive that holds them.
        QCOMPARE(shown.value(0), ui::DriveList::driveOf(dir.path()));
        const QRect r = form.Dir1->visualItemRect(inner);
        QTest::mouseDClick(form.windowHandle(), Qt::LeftButton, {}, form.Dir1->viewport()->mapTo(&form, r.center()));
        QTRY_COMPARE(form.Dir1->path(), QDir(dir.path()).absoluteFilePath(QStringLiteral("inner")));
        QCOMPARE(form.File1->path(), form.Dir1->path());
        QCOMPARE(form.File1->fileNames(), QStringList{"x.jpg"});
        // The parent is listed above as an open folder; going back up works the same way.
        form.Dir1->doItemsLayout();
        QListWidgetItem* parent = form.Dir1->item(form.Dir1->currentRow() - 1);
        QVERIFY(parent);
        QTest::mouseDClick(form.windowHandle(), Qt::LeftButton, {},
                           form.Dir1->viewport()->mapTo(&form, form.Dir1->visualItemRect(parent).center()));
        QTRY_COMPARE(form.Dir1->path(), QDir(dir.path()).absolutePath());
        QCOMPARE(form.File1->fileNames(), QStringList{"top.jpg"});
    }

    // Picking a drive makes its root the current folder and File1 follows.
    void choosingADriveGoesToItsRoot() {
        QTemporaryDir dir;
        Form1 form;
        showForm(form);
        goToFolder(form, dir.path());
        form.Drive1->showDriveOf(dir.path());
        form.Drive1->setFocus();
        // Pick the first drive ("/") with the keyboard, then come back with End when there are more.
        if (form.Drive1->currentIndex() == 0 && form.Drive1->count() > 1) QTest::keyClick(form.Drive1, Qt::Key_End);
        if (form.Drive1->currentIndex() != 0) {
            QTest::keyClick(form.Drive1, Qt::Key_Home);
            QCOMPARE(form.Dir1->path(), QStringLiteral("/"));
            QCOMPARE(form.File1->path(), QStringLiteral("/"));
            // Picking the current drive again keeps the folder.
            form.Dir1->setPath(dir.path());
            emit form.Drive1->activated(0);
            QCOMPARE(form.Dir1->path(), QDir(dir.path()).absolutePath());
        } else {
            QSKIP("only one drive on this machine");
        }
    }
};

QTEST_MAIN(FileChooserTest)
#include "file_chooser_test.moc"
