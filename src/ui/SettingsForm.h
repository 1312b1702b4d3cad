#pragma once

#include <QDialog>

class FolderTree;
class NumberSpinBox;
class QLabel;
class QPushButton;

// The settings dialog: the diary folder in a folder tree, the autosave interval in a spin box.
// One instance serves the whole run; closing only hides it, so the tree, the position and the
// focused control are as the user left them.
class TSettings : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMinimumChars = 5;
    static constexpr int kMaximumChars = 99;

    explicit TSettings(QWidget *parent = nullptr);

    QLabel *lblMessage;
    QLabel *lblDirectory;
    FolderTree *ShellTreeView1;
    QLabel *lblToSave;
    NumberSpinBox *sedtNumberOfChars;
    QLabel *lblMoji;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    void FormShow();
    void OKBtnClick();

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void placeControls();
    void bindEvents();

    bool m_placed = false;
};

// The settings file holds code page 932 text on one line: a path outside that cannot be
// stored without being changed.
bool isStorableSettingText(const QString &text);
QString unstorableFolderMessage(const QString &path);

// Shows the dialog modally; then, however it closed, reads the settings file again.
void showSettings(TSettings &dialog);
