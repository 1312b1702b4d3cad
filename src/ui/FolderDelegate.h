#pragma once

#include <QStyledItemDelegate>

#include <functional>

// Shows the selected folder with the open-folder icon, and hands a finished name edit to the
// tree instead of writing it into the model.
class FolderDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit FolderDelegate(QWidget *tree);

    std::function<void(const QModelIndex &, const QString &)> onNameEdited;

    void setModelData(
        QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    const QIcon &openFolderIcon() const;

    QWidget *m_tree;
    mutable QIcon m_openFolderIcon;
    mutable bool m_openFolderIconLoaded = false;
};
