#include "ui/file_chooser.hpp"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>

namespace ui {

namespace {
constexpr int kPathRole = Qt::UserRole;

QString cleanAbsolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }
}  // namespace

QStringList DriveList::roots() {
    QStringList roots{QDir::rootPath()};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        const QString root = QDir::cleanPath(volume.rootPath());
        // Single files mounted into the tree (container set-ups) are no drives.
        if (!QFileInfo(root).isDir()) continue;
        if (!roots.contains(root)) roots << root;
    }
    std::sort(roots.begin() + 1, roots.end());
    return roots;
}

QString DriveList::driveOf(const QString& path, const QStringList& roots) {
    const QString clean = QDir::cleanPath(path);
    QString best = QDir::rootPath();
    for (const QString& r : roots) {
        const bool holds = clean == r || clean.startsWith(r.endsWith('/') ? r : r + '/');
        if (holds && r.size() > best.size()) best = r;
    }
    return best;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    refresh();
    connect(this, &QComboBox::currentIndexChanged, this, [this](int) {
        if (drive() == announced_ || drive().isEmpty()) return;
        announced_ = drive();
        emit driveChanged(announced_);
    });
}

void DriveList::refresh() {
    const QSignalBlocker block(this);
    const QString keep = drive();
    clear();
    addItems(roots());
    const int i = findText(keep);
    setCurrentIndex(i >= 0 ? i : 0);
    announced_ = drive();
}

void DriveList::showDriveOf(const QString& path) {
    const QSignalBlocker block(this);
    const QString root = driveOf(path, roots());
    int i = findText(root);
    if (i < 0) {
        addItem(root);
        i = count() - 1;
    }
    setCurrentIndex(i);
    announced_ = drive();
}

DirList::DirList(QWidget* parent) : QListWidget(parent) {
    // A double click or Enter: the list is rebuilt after the activation has been handled, not
    // while its item is in use.
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QString target = item->data(kPathRole).toString();
        QMetaObject::invokeMethod(this, [this, target] {
            if (target != path_) setPath(target);
        }, Qt::QueuedConnection);
    });
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (!singleClick_) return;
        const QString target = item->data(kPathRole).toString();
        if (target != path_) setPath(target);
    });
}

void DirList::setFolderIcons(bool on) {
    icons_ = on;
    if (!path_.isEmpty()) fill();
}

bool DirList::setPath(const QString& path) {
    const QString clean = cleanAbsolute(path);
    const QDir dir(clean);
    if (!dir.exists() || !dir.isReadable()) {
        emit failed(QStringLiteral("Device unavailable: ") + path);
        return false;
    }
    path_ = clean;
    fill();
    emit pathChanged(path_);
    return true;
}

// The open folders from the drive down to the current one, each indented one step more, then the
// current folder's sub-folders one step further in.
void DirList::fill() {
    clear();
    const QIcon open = icons_ ? style()->standardIcon(QStyle::SP_DirOpenIcon) : QIcon();
    const QIcon closed = icons_ ? style()->standardIcon(QStyle::SP_DirIcon) : QIcon();
    const QString drive = DriveList::driveOf(path_);
    QStringList chain;
    for (QString p = path_;; p = QFileInfo(p).path()) {
        chain.prepend(p);
        if (p == drive || p == QFileInfo(p).path()) break;
    }
    int depth = 0;
    QListWidgetItem* current = nullptr;
    for (const QString& p : chain) {
        const QString name = depth == 0 ? p : QFileInfo(p).fileName();
        auto* item = new QListWidgetItem(open, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(kPathRole, p);
        current = item;
        ++depth;
    }
    const QDir here(path_);
    for (const QFileInfo& sub : here.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(closed, QString(depth * 2, QLatin1Char(' ')) + sub.fileName(), this);
        item->setData(kPathRole, QDir::cleanPath(sub.absoluteFilePath()));
    }
    if (current) {
        setCurrentItem(current);
        scrollToItem(current);
    }
}

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { emit fileClicked(item->text()); });
}

void FileList::keyPressEvent(QKeyEvent* event) {
    // Enter on a name chooses it like a click; arrows only move the highlight.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        emit fileClicked(currentItem()->text());
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FileList::setPath(const QString& path) {
    path_ = path;
    refresh();
}

void FileList::setPattern(const QString& pattern) {
    pattern_ = pattern;
    refresh();
}

void FileList::refresh() {
    clear();
    if (path_.isEmpty()) return;
    // QDir matches name filters case-insensitively unless QDir::CaseSensitive is given.
    const QDir dir(path_, pattern_, QDir::Name | QDir::IgnoreCase, QDir::Files);
    addItems(dir.entryList());
}

QStringList FileList::fileNames() const {
    QStringList names;
    for (int i = 0; i < count(); ++i) names << item(i)->text();
    return names;
}

FileChooser::FileChooser(QWidget* parent, DriveChange rule) : QObject(parent), rule_(rule) {
    dir1_ = new DirList(parent);
    dir1_->setObjectName(QStringLiteral("Dir1"));
    file1_ = new FileList(parent);
    file1_->setObjectName(QStringLiteral("File1"));
    // The drive list lies over the others where they meet.
    drive1_ = new DriveList(parent);
    drive1_->setObjectName(QStringLiteral("Drive1"));
    QWidget::setTabOrder(drive1_, dir1_);
    QWidget::setTabOrder(dir1_, file1_);

    connect(drive1_, &DriveList::driveChanged, this, &FileChooser::driveChanged);
    connect(dir1_, &DirList::pathChanged, this, [this](const QString& path) {
        folderOfDrive_[drive1_->drive()] = path;
        file1_->setPath(path);
    });
    connect(dir1_, &DirList::failed, this, &FileChooser::failed);
    connect(file1_, &FileList::fileClicked, this, [this](const QString& name) { emit fileChosen(folder(), name); });
}

void FileChooser::driveChanged(const QString& drive) {
    const QString target = rule_ == DriveChange::LastFolder ? folderOfDrive_.value(drive, drive) : drive;
    // A drive that cannot be read: back to the drive of the folder still shown.
    if (!dir1_->setPath(target) && !folder().isEmpty()) drive1_->showDriveOf(folder());
}

bool FileChooser::openFolder(const QString& path) {
    const QString clean = cleanAbsolute(path);
    if (!QFileInfo(clean).isDir()) {
        emit failed(QStringLiteral("Device unavailable: ") + path);
        return false;
    }
    drive1_->showDriveOf(clean);
    return dir1_->setPath(clean);
}

void FileChooser::refresh() {
    if (folder().isEmpty() || !QFileInfo(folder()).isDir()) {
        openFolder(QDir::currentPath());
        return;
    }
    dir1_->setPath(folder());
}

}  // namespace ui
