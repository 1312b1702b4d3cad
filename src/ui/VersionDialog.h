#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The program's name and version. OK, Enter and the close button close it; Esc does nothing.
class TOKBottomDlg : public QDialog
{
    Q_OBJECT

public:
    static inline const QString kSoftwareName = QStringLiteral("Orlune");
    static inline const QString kVersion = QStringLiteral("Version " ORLUNE_VERSION);
    static inline const QString kCopyright = QStringLiteral("Copyright (C) 2026 Orlune project");

    explicit TOKBottomDlg(QWidget *parent = nullptr);

    QFrame *Bevel1;
    QLabel *lblSoftwareName;
    QLabel *lblVersion;
    QLabel *lblCopyright;
    QPushButton *OKBtn;

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
};
