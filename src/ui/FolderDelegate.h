#pragma once

#include <QStyledItemDelegate>

#include <functional>

// Draws a folder tree's nodes the way a folder tree looks (the open-folder icon on the selected
// node, the selection only while the tree has the focus) and hands a finished name edit to
// the tree instead of writing it into the model.
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
    bool treeHasFocus() const;

    QWidget *m_tree;
    QIcon m_openFolderIcon;
};
