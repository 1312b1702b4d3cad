#include "VersionDialog.h"

#include "ui/FixedDialog.h"
#include "ui/Label.h"
#include "ui/UiFont.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

TOKBottomDlg::TOKBottomDlg(QWidget *parent) : QDialog(parent, kFixedDialogFlags)
{
    setObjectName(QStringLiteral("OKBottomDlg"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFont(uiFont(12));
    setFixedSize(313, 163);
    createControls();
}

void TOKBottomDlg::createControls()
{
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(8, 8, 297, 113);

    lblSoftwareName = makeLabel(this, "lblSoftwareName", kSoftwareName, 27);
    placeSizedToText(lblSoftwareName, 32, 40);
    lblVersion = makeLabel(this, "lblVersion", kVersion, 12);
    placeSizedToText(lblVersion, 216, 56);
    lblCopyright = makeLabel(this, "lblCopyright", kCopyright, 12);
    placeSizedToText(lblCopyright, 96, 96);

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setAccessibleName(QStringLiteral("OK"));
    OKBtn->setGeometry(231, 132, 75, 25);
    OKBtn->setDefault(true);
    OKBtn->setFocus();
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
}

void TOKBottomDlg::setVisible(bool visible)
{
    if (visible && !isVisible())
        centreOnScreen(*this);
    QDialog::setVisible(visible);
}

void TOKBottomDlg::keyPressEvent(QKeyEvent *event)
{
    // There is no cancel button, so Esc has nothing to press.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
