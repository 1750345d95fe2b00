#include "FileSystemLists.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStyle>

namespace kiro {

namespace {

constexpr int kFolderRole = Qt::UserRole;
const QString kIndent = QStringLiteral("  ");

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

QString JoinFolderAndFile(const QString& folder, const QString& fileName) {
    if (folder.endsWith(QDir::separator()) || folder.endsWith(QLatin1Char('/')))
        return folder + fileName;
    return folder + QDir::separator() + fileName;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        // Some systems mount single files too (bind mounts); only folders can be walked.
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir())
            roots.append(native(volume.rootPath()));
    }
    roots.removeDuplicates();
    roots.sort();
    addItems(roots);
    connect(this, &QComboBox::currentIndexChanged, this,
            [this](int index) { emit driveChanged(itemText(index)); });
}

QString DriveList::drive() const {
    return currentText();
}

void DriveList::setDriveOf(const QString& folder) {
    const QString root = native(QStorageInfo(folder).rootPath());
    int index = findText(root);
    if (index < 0 && !root.isEmpty()) {
        // A file system that came after the list was made.
        addItem(root);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { setPath(item->data(kFolderRole).toString()); });
}

void FolderList::addEntry(const QString& text, const QString& folder, int depth, bool open) {
    const QStyle::StandardPixmap icon = open ? QStyle::SP_DirOpenIcon : QStyle::SP_DirClosedIcon;
    auto* item = new QListWidgetItem(style()->standardIcon(icon), kIndent.repeated(depth) + text);
    item->setData(kFolderRole, folder);
    addItem(item);
}

void FolderList::setPath(const QString& folder) {
    const QDir dir(QDir::cleanPath(QDir(folder).absolutePath()));
    const QString before = path_;
    path_ = native(dir.path());
    clear();

    // The way down from the root, then what lies inside.
    QStringList way{dir.path()};
    QDir up = dir;
    while (!up.isRoot() && up.cdUp())
        way.prepend(up.path());
    for (int depth = 0; depth < way.size(); ++depth) {
        const QFileInfo info(way[depth]);
        const QString name = depth == 0 ? native(way[depth]) : info.fileName();
        addEntry(name, native(way[depth]), depth, true);
    }
    setCurrentRow(count() - 1);
    const QStringList inside =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : inside)
        addEntry(name, native(dir.filePath(name)), int(way.size()), false);
    if (path_ != before)
        emit pathChanged(path_);
}

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The keys choose by moving the selection. A click chooses even the file that is selected
    // already, so that a path typed over since is replaced again.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> chosen = selectedItems();
        if (!chosen.isEmpty())
            emit fileChosen(chosen.first()->text());
    });
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit fileChosen(item->text()); });
}

void FileList::setPath(const QString& folder) {
    const QDir dir(folder);
    path_ = native(QDir::cleanPath(dir.absolutePath()));
    clear();
    addItems(dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

} // namespace kiro
