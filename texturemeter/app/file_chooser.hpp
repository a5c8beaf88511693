#pragma once
// The drive, directory and file lists of the window. On Linux a "drive" is the file-system root
// or a mounted volume; the directory list shows the open folders from the drive down to the
// current one and the folders inside it; the file list shows the files of the current folder
// that match a pattern, case-insensitively (cameras write ".JPG").

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>

namespace texturemeter::window {

// `Drive1`: the file-system root and the mounted volumes.
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);
    // Re-reads the mounted volumes, keeping the current drive when it is still there.
    void refresh();
    QString drive() const;
    // Makes the volume that holds `path` the current drive (without announcing a change).
    void showDriveOf(const QString& path);
signals:
    // The user picked another drive.
    void driveChanged(const QString& drive);

private:
    QString announced_;  // the drive last made current
};

// `Dir1`: the current folder, its ancestors and its sub-folders; a double click or Enter on a
// folder makes it the current one.
class DirList : public QListWidget {
    Q_OBJECT
public:
    explicit DirList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    // Makes `path` the current folder and announces the change.
    void setPath(const QString& path);
signals:
    void pathChanged(const QString& path);

private:
    void fill();
    QString path_;
};

// `File1`: the files of a folder matching the pattern; a click on a name selects it.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    void setPath(const QString& path);
    QString pattern() const { return pattern_; }
    // The names shown, in their order.
    QStringList fileNames() const;
    // Re-reads the folder.
    void refresh();
signals:
    // The user clicked a file name (or pressed Enter on it).
    void fileClicked(const QString& fileName);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString path_;
    QString pattern_ = QStringLiteral("*.jpg");
};

}  // namespace texturemeter::window
