#pragma once
// The chooser that sits in the panel `Picture10`: `Drive1` lists the file-system roots and mounted
// volumes, `Dir1` the folders of the chosen drive (the path down to the current folder, then its
// subfolders), `File1` every file of the current folder. A click on a file name reports the folder
// and the name; the window hands them to the session, which builds the path and loads the image.

#include <QComboBox>
#include <QListWidget>
#include <QMap>
#include <QWidget>

namespace lesionmeter::app {

class ChooserPanel : public QObject {
    Q_OBJECT
public:
    // Creates `Drive1`, `Dir1` and `File1` inside `panel` at their places.
    explicit ChooserPanel(QWidget* panel);

    QComboBox* drive1() const { return drive1_; }
    QListWidget* dir1() const { return dir1_; }
    QListWidget* file1() const { return file1_; }

    // The folder `Dir1` shows and `File1` lists.
    QString folder() const { return folder_; }
    // The name selected in `File1` (empty when none).
    QString selectedFile() const;
    // Lists the current folder afresh (files may have come or gone since it was shown).
    void refresh();
    // Goes to a folder as if the user had chosen its drive and clicked down to it.
    bool openFolder(const QString& path);

    // The roots and mount points offered in `Drive1`, sorted.
    static QStringList driveRoots();
    // The drive (root or mount point) that holds `path`.
    static QString driveOf(const QString& path, const QStringList& roots);

signals:
    void fileChosen(const QString& folder, const QString& name);
    void failed(const QString& message);

private:
    void driveChanged(int index);
    void dirItemChosen(QListWidgetItem* item);
    void fileItemClicked(QListWidgetItem* item);
    bool showFolder(const QString& path);
    void fillFolderList();
    void fillFileList();

    QComboBox* drive1_;
    QListWidget* dir1_;
    QListWidget* file1_;
    QString folder_;
    // The current folder of every drive visited, so a drive change returns to it.
    QMap<QString, QString> folderOfDrive_;
};

}  // namespace lesionmeter::app
