#include "FolderDelegate.h"

#include <QMetaProperty>
#include <QStyle>

FolderDelegate::FolderDelegate(QWidget *tree) : QStyledItemDelegate(tree), m_tree(tree) { }

const QIcon &FolderDelegate::openFolderIcon() const
{
    // Looked up in the icon theme when first drawn, not when the dialog is made at start-up.
    if (!m_openFolderIconLoaded) {
        m_openFolderIcon = QIcon::fromTheme(
            QStringLiteral("folder-open"), m_tree->style()->standardIcon(QStyle::SP_DirOpenIcon));
        m_openFolderIconLoaded = true;
    }
    return m_openFolderIcon;
}

void FolderDelegate::setModelData(
    QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const
{
    const QByteArray property = editor->metaObject()->userProperty().name();
    if (onNameEdited)
        onNameEdited(index, editor->property(property.constData()).toString());
}

void FolderDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!(option->state & QStyle::State_Selected))
        return;
    // The root keeps its drive icon; only folders open.
    if (index.parent().isValid())
        option->icon = openFolderIcon();
}
