#pragma once

#include <QFileSystemModel>
#include <QHash>

// The file system's folders, as a file manager lists them: no files, no hidden folders, the
// platform's names and icons, natural order. Nothing watches the disk: a folder is listed
// when it is first expanded.
class FolderModel : public QFileSystemModel
{
    Q_OBJECT

public:
    // The gatherer thread uses icons until the model is gone, so they must outlive it.
    explicit FolderModel(QAbstractFileIconProvider *icons, QObject *parent = nullptr);

    // An expand button only where the folder really holds a folder we would list.
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    void fetchMore(const QModelIndex &parent) override;

    // After our own changes on disk the answers of hasChildren may be stale.
    void forgetSubfolders();

signals:
    void listingStarted(const QString &path);

private:
    bool scanForSubfolder(const QString &path) const;

    mutable QHash<QString, bool> m_hasSubfolder;
};
