#include "chooser_panel.hpp"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QStorageInfo>

#include <algorithm>

namespace lesionmeter::app {

namespace {
constexpr int kPathRole = Qt::UserRole;
}

ChooserPanel::ChooserPanel(QWidget* panel) : QObject(panel) {
    dir1_ = new QListWidget(panel);
    dir1_->setObjectName("Dir1");
    dir1_->setGeometry(0, 16, 153, 90);
    file1_ = new QListWidget(panel);
    file1_->setObjectName("File1");
    file1_->setGeometry(152, 0, 121, 114);
    drive1_ = new QComboBox(panel);
    drive1_->setObjectName("Drive1");
    drive1_->setGeometry(0, 0, 153, 20);
    drive1_->raise();

    const QStringList roots = driveRoots();
    drive1_->addItems(roots);
    // The chooser starts in the program's current folder, on the drive that holds it.
    const QString start = QDir::currentPath();
    const QString drive = driveOf(start, roots);
    folderOfDrive_[drive] = start;
    {
        const QSignalBlocker block(drive1_);
        drive1_->setCurrentIndex(std::max(0, int(roots.indexOf(drive))));
    }
    showFolder(start);

    connect(drive1_, &QComboBox::currentIndexChanged, this, &ChooserPanel::driveChanged);
    connect(dir1_, &QListWidget::itemClicked, this, &ChooserPanel::dirItemChosen);
    connect(dir1_, &QListWidget::itemActivated, this, &ChooserPanel::dirItemChosen);
    connect(file1_, &QListWidget::itemClicked, this, &ChooserPanel::fileItemClicked);
}

QStringList ChooserPanel::driveRoots() {
    QStringList roots;
    for (const QFileInfo& d : QDir::drives()) roots << QDir::cleanPath(d.absoluteFilePath());
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (v.isValid() && v.isReady()) roots << QDir::cleanPath(v.rootPath());
    }
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end());
    return roots;
}

QString ChooserPanel::driveOf(const QString& path, const QStringList& roots) {
    const QString clean = QDir::cleanPath(path);
    QString best = roots.isEmpty() ? QDir::rootPath() : roots.front();
    for (const QString& r : roots) {
        const bool holds = clean == r || clean.startsWith(r.endsWith('/') ? r : r + '/');
        if (holds && r.size() >= best.size()) best = r;
    }
    return best;
}

QString ChooserPanel::selectedFile() const {
    const QListWidgetItem* item = file1_->currentItem();
    return item ? item->text() : QString();
}

bool ChooserPanel::openFolder(const QString& path) {
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QStringList roots = driveRoots();
    const QString drive = driveOf(clean, roots);
    {
        const QSignalBlocker block(drive1_);
        drive1_->setCurrentIndex(std::max(0, int(roots.indexOf(drive))));
    }
    return showFolder(clean);
}

void ChooserPanel::refresh() {
    if (!showFolder(folder_)) showFolder(QDir::currentPath());
}

// A new drive: `Dir1` shows the folder last used on it (its root the first time).
void ChooserPanel::driveChanged(int index) {
    if (index < 0) return;
    const QString drive = drive1_->itemText(index);
    const QString folder = folderOfDrive_.value(drive, drive);
    if (!showFolder(folder)) {
        // The drive cannot be read: go back to the drive of the folder still shown.
        const QSignalBlocker block(drive1_);
        drive1_->setCurrentIndex(std::max(0, int(drive1_->findText(driveOf(folder_, driveRoots())))));
    }
}

void ChooserPanel::dirItemChosen(QListWidgetItem* item) {
    if (!item) return;
    const QString path = item->data(kPathRole).toString();
    if (path != folder_) showFolder(path);
}

void ChooserPanel::fileItemClicked(QListWidgetItem* item) {
    if (!item) return;
    emit fileChosen(folder_, item->text());
}

bool ChooserPanel::showFolder(const QString& path) {
    const QDir dir(path);
    if (!dir.exists() || !dir.isReadable()) {
        emit failed(QStringLiteral("Device unavailable: ") + path);
        return false;
    }
    folder_ = QDir::cleanPath(dir.absolutePath());
    folderOfDrive_[driveOf(folder_, driveRoots())] = folder_;
    fillFolderList();
    fillFileList();
    return true;
}

// The path from the drive down to the current folder, indented, then its subfolders.
void ChooserPanel::fillFolderList() {
    dir1_->clear();
    const QString drive = driveOf(folder_, driveRoots());
    QStringList chain;
    for (QString p = folder_;; p = QFileInfo(p).path()) {
        chain.prepend(p);
        if (p == drive || p == QFileInfo(p).path()) break;
    }
    int depth = 0;
    QListWidgetItem* current = nullptr;
    for (const QString& p : chain) {
        const QString name = depth == 0 ? p : QFileInfo(p).fileName();
        auto* item = new QListWidgetItem(QString(2 * depth, ' ') + name, dir1_);
        item->setData(kPathRole, p);
        current = item;
        ++depth;
    }
    const QDir dir(folder_);
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        auto* item = new QListWidgetItem(QString(2 * depth, ' ') + sub, dir1_);
        item->setData(kPathRole, dir.filePath(sub));
    }
    if (current) {
        dir1_->setCurrentItem(current);
        dir1_->scrollToItem(current);
    }
}

// Every file of the current folder (the pattern is "*.*": all files).
void ChooserPanel::fillFileList() {
    file1_->clear();
    const QDir dir(folder_);
    file1_->addItems(dir.entryList(QDir::Files, QDir::Name));
}

}  // namespace lesionmeter::app
