#pragma once

#include <QFileIconProvider>
#include <QPalette>
#include <QPersistentModelIndex>
#include <QSet>
#include <QTreeView>

#include <memory>

class FolderModel;
class QMenu;

// The folder tree of the settings dialog: "/" at the root, folders only, listed on first
// expansion, with a context menu to make and rename folders.
class FolderTree : public QTreeView
{
    Q_OBJECT

public:
    static inline const QString kNewFolderName = QStringLiteral("新しいフォルダー");

    explicit FolderTree(QWidget *parent = nullptr);
    ~FolderTree() override;

    // Shows "/" expanded one level, then selects the home folder with the way to it open.
    // There is no model before the first fill: nothing is listed, sorted or laid out.
    void fill(const QString &homePath);
    bool isFilled() const { return m_filled; }

    // The selected folder's full path; the empty text when no folder is selected.
    QString selectedPath() const;
    QModelIndex indexOfPath(const QString &path) const;
    void selectFolder(const QModelIndex &index);

    // Makes a new folder under the selected one, selects it and opens its name for editing.
    void newFolder();
    void renameSelected();
    // Renames on disk when the folder may be renamed; a refusal raises an error.
    void renameFolder(const QModelIndex &index, const QString &newName);

    // Null until the first fill.
    FolderModel *folderModel() const { return m_model.get(); }
    QMenu *contextMenu() const { return m_menu; }
    bool isListing() const { return !m_listing.isEmpty(); }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void attachModel();
    void buildContextMenu();
    void openContextMenu(const QPoint &position);
    void showSelectionWhileFocused();
    void keepSelectionInView();
    void selectMadeFolderAgain(const QModelIndex &parent, int first, int last);
    void listingStarted(const QString &path);
    void listingFinished(const QString &path);
    QString unusedFolderName(const QString &parentPath) const;

    // Declared before the model: the model's gatherer thread uses the icons until it stops.
    QFileIconProvider m_icons;
    std::unique_ptr<FolderModel> m_model;
    QMenu *m_menu = nullptr;
    QPalette m_selectionShown;
    QPalette m_selectionHidden;
    QSet<QString> m_listing;
    QPersistentModelIndex m_editedIndex;
    QString m_editedName;
    bool m_nameEdited = false;
    // The folder this tree made or renamed last. The model's listings arrive late from its
    // gatherer thread, and one taken before the change drops the folder's row until the next
    // lists it again: then it is selected again (with its name open, if it was made and not yet
    // named), unless the person has moved the selection meanwhile.
    QString m_madePath;
    bool m_madeAwaitsName = false;
    bool m_filled = false;
    bool m_revealSelection = false;
};
