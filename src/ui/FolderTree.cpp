#include "FolderTree.h"

#include "storage/Exception.h"
#include "ui/ErrorReport.h"
#include "ui/FolderDelegate.h"
#include "ui/FolderModel.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QHeaderView>
#include <QMenu>

FolderTree::FolderTree(QWidget *parent) : QTreeView(parent)
{
    header()->hide();
    setRootIsDecorated(false);
    setIndentation(19);
    setUniformRowHeights(true);
    setSelectionMode(SingleSelection);
    setEditTriggers(SelectedClicked | EditKeyPressed);

    auto *delegate = new FolderDelegate(this);
    delegate->onNameEdited = [this](const QModelIndex &index, const QString &name) {
        m_editedIndex = index;
        m_editedName = name;
        m_nameEdited = true;
    };
    setItemDelegate(delegate);
    buildContextMenu();

    // The selection is drawn only while the tree (or its name editor) has the focus.
    m_selectionShown = palette();
    m_selectionHidden = m_selectionShown;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        m_selectionHidden.setColor(
            group, QPalette::Highlight, m_selectionShown.color(group, QPalette::Base));
        m_selectionHidden.setColor(
            group, QPalette::HighlightedText, m_selectionShown.color(group, QPalette::Text));
    }
    setPalette(m_selectionHidden);
    connect(qApp, &QApplication::focusChanged, this, &FolderTree::showSelectionWhileFocused);
}

FolderTree::~FolderTree()
{
    // The base destructor moves the focus away: this tree must not hear of it any more.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    // Let go of the model before it goes, so the view never reads a dead one.
    setModel(nullptr);
}

void FolderTree::fill(const QString &homePath)
{
    if (!m_model)
        attachModel();
    collapseAll();
    // Without a root path the model lists nothing; nothing is watched all the same.
    const QModelIndex root = m_model->setRootPath(QDir::rootPath());
    expand(root);
    selectFolder(root);
    const QModelIndex home = indexOfPath(homePath);
    if (home.isValid()) {
        for (QModelIndex step = home.parent(); step.isValid(); step = step.parent())
            expand(step);
        selectFolder(home);
    }
    m_filled = true;
    m_revealSelection = true;
    m_madePath.clear();
}

void FolderTree::attachModel()
{
    // The model sorts, with a collator for natural order, as soon as the event loop runs, each
    // column step lays the view out again, and listing looks up icons: paid when the tree is
    // first filled, not when it is made at start-up.
    m_model = std::make_unique<FolderModel>(&m_icons);
    setModel(m_model.get());
    for (int column = 1; column < m_model->columnCount(); ++column)
        hideColumn(column);
    sortByColumn(0, Qt::AscendingOrder);

    connect(m_model.get(), &FolderModel::listingStarted, this, &FolderTree::listingStarted);
    connect(m_model.get(), &QFileSystemModel::directoryLoaded, this, &FolderTree::listingFinished);
    // Folders listed after the filling push the selected one down; follow it until the user
    // takes over.
    connect(
        m_model.get(), &QAbstractItemModel::rowsInserted, this, &FolderTree::keepSelectionInView);
    connect(
        m_model.get(), &QAbstractItemModel::rowsInserted, this, &FolderTree::selectMadeFolderAgain);
    connect(
        m_model.get(), &QAbstractItemModel::layoutChanged, this, &FolderTree::keepSelectionInView);
}

QModelIndex FolderTree::indexOfPath(const QString &path) const
{
    if (!m_model)
        return {};
    return m_model->index(path);
}

void FolderTree::selectFolder(const QModelIndex &index)
{
    setCurrentIndex(index);
    scrollTo(index);
}

QString FolderTree::selectedPath() const
{
    if (!m_model)
        return {};
    const QModelIndexList selected = selectionModel()->selectedRows();
    if (selected.isEmpty())
        return {};
    return QDir::toNativeSeparators(m_model->filePath(selected.constFirst()));
}

void FolderTree::newFolder()
{
    const QModelIndex parent = currentIndex();
    if (!parent.isValid())
        return;
    const QString parentPath = m_model->filePath(parent);
    const QString name = unusedFolderName(parentPath);
    const QModelIndex created = m_model->mkdir(parent, name);
    if (!created.isValid()) {
        throw Exception(QStringLiteral("フォルダー %1 を作成できません")
                            .arg(QDir::toNativeSeparators(QDir(parentPath).filePath(name))));
    }
    m_model->forgetSubfolders();
    expand(parent);
    selectFolder(created);
    edit(created);
    m_madePath = m_model->filePath(created);
    m_madeAwaitsName = true;
}

QString FolderTree::unusedFolderName(const QString &parentPath) const
{
    const QDir parent(parentPath);
    QString name = kNewFolderName;
    for (int number = 2; parent.exists(name); ++number)
        name = QStringLiteral("%1 (%2)").arg(kNewFolderName).arg(number);
    return name;
}

void FolderTree::renameSelected()
{
    if (currentIndex().isValid())
        edit(currentIndex());
}

void FolderTree::renameFolder(const QModelIndex &index, const QString &newName)
{
    if (!m_model || !(m_model->flags(index) & Qt::ItemIsEditable))
        return;
    // An emptied name is an abandoned edit, as in a file manager.
    if (newName.isEmpty() || newName == m_model->fileName(index))
        return;
    if (!m_model->setData(index, newName))
        throw Exception(QStringLiteral("%1 に名前を変更できませんでした。").arg(newName));
    m_model->forgetSubfolders();
    m_madePath = m_model->filePath(index);
}

void FolderTree::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // The rename runs once the editor is gone, so an error box cannot make it commit again.
    QTreeView::closeEditor(editor, hint);
    m_madeAwaitsName = false;
    if (!m_nameEdited)
        return;
    m_nameEdited = false;
    const QPersistentModelIndex index = std::exchange(m_editedIndex, {});
    const QString name = std::exchange(m_editedName, {});
    guarded(this, [&] { renameFolder(index, name); });
}

void FolderTree::buildContextMenu()
{
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("FolderMenu"));
    QAction *newFolder = m_menu->addAction(QStringLiteral("新しいフォルダーの作成(&N)"));
    newFolder->setObjectName(QStringLiteral("actNewFolder"));
    QAction *rename = m_menu->addAction(QStringLiteral("名前の変更(&M)"));
    rename->setObjectName(QStringLiteral("actRename"));
    connect(newFolder, &QAction::triggered, this,
        [this] { guarded(this, [this] { this->newFolder(); }); });
    connect(
        rename, &QAction::triggered, this, [this] { guarded(this, [this] { renameSelected(); }); });

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &FolderTree::openContextMenu);
}

void FolderTree::openContextMenu(const QPoint &position)
{
    const QModelIndex index = indexAt(position);
    if (!index.isValid())
        return;
    selectFolder(index);
    const bool renamable = m_model->flags(index) & Qt::ItemIsEditable;
    m_menu->actions().at(1)->setEnabled(renamable);
    // Not exec(): a popup leaves the event loop alone, so nothing waits on the menu.
    m_menu->popup(viewport()->mapToGlobal(position));
}

void FolderTree::keepSelectionInView()
{
    if (m_revealSelection && currentIndex().isValid())
        scrollTo(currentIndex());
}

void FolderTree::selectMadeFolderAgain(const QModelIndex &parent, int first, int last)
{
    if (m_madePath.isEmpty() || m_model->filePath(currentIndex()) == m_madePath)
        return;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = m_model->index(row, 0, parent);
        if (m_model->filePath(index) != m_madePath)
            continue;
        selectFolder(index);
        if (m_madeAwaitsName)
            edit(index);
        return;
    }
}

void FolderTree::mousePressEvent(QMouseEvent *event)
{
    m_revealSelection = false;
    m_madePath.clear();
    QTreeView::mousePressEvent(event);
}

void FolderTree::keyPressEvent(QKeyEvent *event)
{
    m_revealSelection = false;
    m_madePath.clear();
    QTreeView::keyPressEvent(event);
}

void FolderTree::wheelEvent(QWheelEvent *event)
{
    m_revealSelection = false;
    QTreeView::wheelEvent(event);
}

void FolderTree::listingStarted(const QString &path)
{
    m_listing.insert(path);
    viewport()->setCursor(Qt::WaitCursor);
}

void FolderTree::listingFinished(const QString &path)
{
    if (!m_listing.remove(path) || !m_listing.isEmpty())
        return;
    viewport()->unsetCursor();
}

void FolderTree::showSelectionWhileFocused()
{
    const QWidget *focus = QApplication::focusWidget();
    const bool focused = focus && (focus == this || isAncestorOf(focus));
    setPalette(focused ? m_selectionShown : m_selectionHidden);
}
