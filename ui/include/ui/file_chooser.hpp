#pragma once
// The drive, folder and file lists of a window and the chooser that ties them together. On Linux a
// "drive" is the file-system root or a mounted volume. The folder list shows the open folders from
// the drive down to the current one, then the folders inside it; the file list shows the files of
// the current folder that match a pattern, case-insensitively (cameras write ".JPG").

#include <QComboBox>
#include <QListWidget>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

namespace ui {

// `Drive1`: the file-system root and the mounted volumes.
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);
    // Reads the mounted volumes again, keeping the current drive when it is still there.
    void refresh();
    QString drive() const { return currentText(); }
    // Makes the drive that holds `path` the current one, without announcing a change.
    void showDriveOf(const QString& path);

    // "/" first, then the roots of the mounted volumes (folders only), sorted.
    static QStringList roots();
    // The drive that holds `path`: the longest root that contains it.
    static QString driveOf(const QString& path, const QStringList& roots = DriveList::roots());

signals:
    // Another drive became the current one (by the user or by a program).
    void driveChanged(const QString& drive);

private:
    QString announced_;  // the drive last made current
};

// `Dir1`: the current folder, its ancestors up to its drive and its sub-folders.
class DirList : public QListWidget {
    Q_OBJECT
public:
    explicit DirList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    // Makes `path` the current folder and announces it; a folder that cannot be read is reported
    // through `failed` and the list stays as it was.
    bool setPath(const QString& path);

    // How a listed folder is opened: by a double click or Enter (default), or by a single click too.
    void setOpenOnSingleClick(bool on) { singleClick_ = on; }
    // Folder icons before the names (open folders and closed ones); shown by default.
    void setFolderIcons(bool on);

signals:
    void pathChanged(const QString& path);
    void failed(const QString& message);

private:
    void fill();
    QString path_;
    bool singleClick_ = false;
    bool icons_ = true;
};

// `File1`: the files of a folder matching the pattern; a click (or Enter) on a name chooses it.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    void setPath(const QString& path);
    QString pattern() const { return pattern_; }
    void setPattern(const QString& pattern);
    // The names shown, in their order.
    QStringList fileNames() const;
    // Reads the folder again.
    void refresh();
signals:
    void fileClicked(const QString& fileName);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString path_;
    QString pattern_ = QStringLiteral("*");
};

// What a new drive in `Drive1` shows in `Dir1`.
enum class DriveChange {
    Root,        // the drive's root folder
    LastFolder,  // the folder last shown on that drive (its root the first time)
};

// `Drive1`, `Dir1` and `File1` created in `parent` (placed by the window) and kept in step: a new
// drive sets the folder, a new folder lists its files, a click on a file name chooses it.
class FileChooser : public QObject {
    Q_OBJECT
public:
    explicit FileChooser(QWidget* parent, DriveChange rule = DriveChange::Root);

    DriveList* drive1() const { return drive1_; }
    DirList* dir1() const { return dir1_; }
    FileList* file1() const { return file1_; }

    // The folder `Dir1` shows and `File1` lists.
    QString folder() const { return dir1_->path(); }
    // Goes to a folder as if the user had chosen its drive and opened it.
    bool openFolder(const QString& path);
    // Lists the current folder afresh (files may have come or gone); the program's current folder
    // when it is gone.
    void refresh();

signals:
    void fileChosen(const QString& folder, const QString& name);
    void failed(const QString& message);

private:
    void driveChanged(const QString& drive);

    DriveList* drive1_;
    DirList* dir1_;
    FileList* file1_;
    DriveChange rule_;
    QMap<QString, QString> folderOfDrive_;
};

}  // namespace ui
