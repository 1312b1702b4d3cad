#include "FolderModel.h"

#include <QDirIterator>

namespace {

constexpr QDir::Filters kFolderFilter = QDir::AllDirs | QDir::NoDotAndDotDot;

}

FolderModel::FolderModel(QAbstractFileIconProvider *icons, QObject *parent)
    : QFileSystemModel(parent)
{
    setOption(DontWatchForChanges);
    setIconProvider(icons);
    setFilter(kFolderFilter);
    setReadOnly(false);
}

bool FolderModel::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid() || parent.column() > 0)
        return QFileSystemModel::hasChildren(parent);
    if (!isDir(parent))
        return false;
    const QString path = filePath(parent);
    auto found = m_hasSubfolder.constFind(path);
    if (found == m_hasSubfolder.cend())
        found = m_hasSubfolder.insert(path, scanForSubfolder(path));
    return *found;
}

bool FolderModel::scanForSubfolder(const QString &path) const
{
    // Stops at the first folder, so a large folder costs no more than a small one.
    QDirIterator entries(path, kFolderFilter);
    return entries.hasNext();
}

Qt::ItemFlags FolderModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags result = QFileSystemModel::flags(index);
    // The file system root has no name to change.
    if (index.isValid() && !index.parent().isValid())
        result &= ~Qt::ItemIsEditable;
    return result;
}

void FolderModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() && canFetchMore(parent))
        emit listingStarted(filePath(parent));
    QFileSystemModel::fetchMore(parent);
}

void FolderModel::forgetSubfolders()
{
    m_hasSubfolder.clear();
}
