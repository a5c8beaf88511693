#include "file_chooser.hpp"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QStyle>

namespace texturemeter::window {

namespace {
constexpr int kPathRole = Qt::UserRole;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    refresh();
    // Picking the drive that is already current changes nothing.
    connect(this, &QComboBox::activated, this, [this](int) {
        if (drive() == announced_) return;
        announced_ = drive();
        emit driveChanged(announced_);
    });
}

void DriveList::refresh() {
    const QString keep = drive();
    QStringList roots{QDir::rootPath()};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        const QString root = volume.rootPath();
        // Single files mounted into the tree (container set-ups) are no drives.
        if (!QFileInfo(root).isDir()) continue;
        if (!roots.contains(root)) roots << root;
    }
    std::sort(roots.begin() + 1, roots.end());
    clear();
    for (const QString& root : roots) addItem(root);
    const int i = findText(keep);
    setCurrentIndex(i >= 0 ? i : 0);
    announced_ = drive();
}

QString DriveList::drive() const { return currentText(); }

void DriveList::showDriveOf(const QString& path) {
    QString root = QStorageInfo(path).rootPath();
    if (root.isEmpty()) root = QDir::rootPath();
    int i = findText(root);
    if (i < 0) {
        addItem(root);
        i = count() - 1;
    }
    setCurrentIndex(i);
    announced_ = drive();
}

DirList::DirList(QWidget* parent) : QListWidget(parent) {
    // The list is rebuilt after the activation has been handled, not while its item is in use.
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        const QString target = item->data(kPathRole).toString();
        QMetaObject::invokeMethod(this, [this, target] { setPath(target); }, Qt::QueuedConnection);
    });
}

void DirList::setPath(const QString& path) {
    path_ = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    fill();
    emit pathChanged(path_);
}

// The open folders from the root down to the current one, each indented one step more, then
// the current folder's sub-folders one step further in.
void DirList::fill() {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirIcon);
    QStringList chain;
    for (QDir d(path_);; ) {
        chain.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp()) break;
    }
    int depth = 0;
    QListWidgetItem* current = nullptr;
    for (const QString& p : chain) {
        const QString name = QDir(p).isRoot() ? p : QFileInfo(p).fileName();
        auto* item = new QListWidgetItem(open, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(kPathRole, p);
        current = item;
        ++depth;
    }
    const QDir here(path_);
    for (const QFileInfo& sub : here.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                    QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(closed, QString(depth * 2, QLatin1Char(' ')) + sub.fileName(), this);
        item->setData(kPathRole, sub.absoluteFilePath());
    }
    if (current) setCurrentItem(current);
}

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { emit fileClicked(item->text()); });
}

void FileList::keyPressEvent(QKeyEvent* event) {
    // Enter on a name selects it like a click; arrows only move the highlight.
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

}  // namespace texturemeter::window
