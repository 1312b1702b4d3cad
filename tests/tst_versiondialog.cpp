#include "DiaryFixture.h"
#include "ScriptedPrompter.h"
#include "ui/VersionDialog.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

class tst_VersionDialog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void laysOutTheDesignedWindow();
    void controlsSitWhereDesigned_data();
    void controlsSitWhereDesigned();
    void okIsTheOnlyFocusableAndHasTheFocus();
    void closesOn_data();
    void closesOn();
    void escapeDoesNothing();
    void showsTheSameTextsCentredEveryTime();
};

namespace { } // namespace

void tst_VersionDialog::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_VersionDialog::laysOutTheDesignedWindow()
{
    TOKBottomDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("バージョン情報"));
    QCOMPARE(dialog.size(), QSize(313, 163));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(!(flags & Qt::WindowMinMaxButtonsHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QCOMPARE(dialog.Bevel1->frameShape(), QFrame::Box);
    QCOMPARE(dialog.Bevel1->frameShadow(), QFrame::Sunken);
    QCOMPARE(dialog.lblSoftwareName->text(), QStringLiteral("Orlune"));
    QCOMPARE(dialog.lblVersion->text(), QStringLiteral("Version 0.910"));
    QVERIFY(dialog.lblCopyright->text().startsWith(QStringLiteral("Copyright")));
    QVERIFY(dialog.OKBtn->isDefault());
    QCOMPARE(dialog.OKBtn->text(), QStringLiteral("OK"));
}

void tst_VersionDialog::controlsSitWhereDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("fontHeight");
    QTest::newRow("Bevel1") << "Bevel1" << QPoint(8, 8) << QSize(297, 113) << 12;
    QTest::newRow("lblSoftwareName") << "lblSoftwareName" << QPoint(32, 40) << QSize() << 27;
    QTest::newRow("lblVersion") << "lblVersion" << QPoint(216, 56) << QSize() << 12;
    QTest::newRow("lblCopyright") << "lblCopyright" << QPoint(96, 96) << QSize() << 12;
    QTest::newRow("OKBtn") << "OKBtn" << QPoint(231, 132) << QSize(75, 25) << 12;
}

void tst_VersionDialog::controlsSitWhereDesigned()
{
    QFETCH(QString, name);
    QFETCH(QPoint, position);
    QFETCH(QSize, size);
    QFETCH(int, fontHeight);
    TOKBottomDlg dialog;
    auto *control = dialog.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->pos(), position);
    if (size.isValid())
        QCOMPARE(control->size(), size);
    QCOMPARE(control->font().pixelSize(), fontHeight);
    // Labels sized to their text stay inside the frame.
    QVERIFY(dialog.Bevel1->geometry().contains(dialog.lblCopyright->geometry()));
    QVERIFY(dialog.Bevel1->geometry().contains(dialog.lblVersion->geometry()));
}

void tst_VersionDialog::okIsTheOnlyFocusableAndHasTheFocus()
{
    TOKBottomDlg dialog;
    for (const QWidget *child : dialog.findChildren<QWidget *>()) {
        if (child != dialog.OKBtn)
            QCOMPARE(child->focusPolicy(), Qt::NoFocus);
    }
    QVERIFY(showActive(dialog));
    QCOMPARE(QApplication::focusWidget(), dialog.OKBtn);
    dialog.close();
}

void tst_VersionDialog::closesOn_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Enter") << 0;
    QTest::newRow("OK clicked") << 1;
    QTest::newRow("close button") << 2;
}

void tst_VersionDialog::closesOn()
{
    QFETCH(int, how);
    TOKBottomDlg dialog;
    ScriptedPrompter prompter;
    bool closedAtOnce = false;
    prompter.modalAnswers.append([&](QDialog &shown) {
        if (!showActive(shown))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        if (how == 0)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else if (how == 1)
            QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
        else
            shown.close();
        closedAtOnce = !shown.isVisible();
        return shown.result();
    });
    Prompter::current().runModal(dialog);
    QVERIFY(closedAtOnce);
}

void tst_VersionDialog::escapeDoesNothing()
{
    TOKBottomDlg dialog;
    QVERIFY(showActive(dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    dialog.close();
}

void tst_VersionDialog::showsTheSameTextsCentredEveryTime()
{
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    for (int showing = 0; showing < 2; ++showing) {
        TOKBottomDlg dialog;
        dialog.move(0, 0);
        if (!showActive(dialog))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        // The frame is not known before the first showing: a few pixels of slack.
        QVERIFY((dialog.frameGeometry().center() - screenCentre).manhattanLength() <= 8);
        QCOMPARE(dialog.lblSoftwareName->text(), QStringLiteral("Orlune"));
        QCOMPARE(dialog.lblVersion->text(), QStringLiteral("Version 0.910"));
        QCOMPARE(QApplication::focusWidget(), dialog.OKBtn);
        QTest::keyClick(dialog.OKBtn, Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
    }
}

QTEST_MAIN(tst_VersionDialog)
#include "tst_versiondialog.moc"
