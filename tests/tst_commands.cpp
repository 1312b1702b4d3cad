#include "DiaryFixture.h"
#include "WindowsLeft.h"
#include "ui/PrintSetup.h"
#include "ui/VersionDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace {

QStringList actionNames(const QList<QAction *> &actions)
{
    QStringList names;
    for (const QAction *a : actions)
        names << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    return names;
}

} // namespace

class tst_Commands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menusAndToolbarFollowTheDesign();
    void toolTipsShowTheShortHintAndShortcut_data();
    void toolTipsShowTheShortHintAndShortcut();

    void exportWritesTheWorkedExample();
    void exportOfEmptyPanesHasEveryHeading();
    void exportTakesUnsavedTextAndWritesNoEntry();
    void exportReplacesAnExistingFileWhole();
    void exportOverReadOnlyFileDoesNothing();
    void exportIntoMissingFolderReportsWithoutBox();
    void exportCancelledWritesNothing();
    void saveDialogProposesTheLastPathAndAddsTheSuffix();

    void editCommandsFollowFocusAndSelection();
    void readOnlyPaneCopiesButNeverChanges();
    void exitSavesTheEntry();
    void versionCommandMakesAFreshDialogEachTime();
    void printSetupRunsWithoutAPrinter();
    void printSetupWithoutItsModuleIsReported();

private:
    std::unique_ptr<DiaryFixture> f;
};

void tst_Commands::init()
{
    f = std::make_unique<DiaryFixture>(QDate(2003, 1, 5));
    QVERIFY(f->useDiary());
    QGuiApplication::clipboard()->clear();
}

void tst_Commands::menusAndToolbarFollowTheDesign()
{
    TfrmMain &w = f->start();
    const QList<QAction *> menus = w.menuBar()->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), QStringLiteral("ファイル(&F)"));
    QCOMPARE(menus[1]->text(), QStringLiteral("編集(&E)"));
    QCOMPARE(menus[2]->text(), QStringLiteral("ヘルプ(&H)"));
    QCOMPARE(actionNames(menus[0]->menu()->actions()),
        QStringList({"FileSaveAs1", "FilePrintSetup1", "-", "FileExit1"}));
    QCOMPARE(actionNames(menus[1]->menu()->actions()),
        QStringList({"EditCut1", "EditCopy1", "EditPaste1", "-", "EditSettings"}));
    QCOMPARE(actionNames(menus[2]->menu()->actions()), QStringList({"Version1"}));
    QCOMPARE(actionNames(w.ToolBar1->actions()),
        QStringList({"FileExit1", "FileSaveAs1", "FilePrintSetup1", "-", "EditCut1", "EditCopy1",
            "EditPaste1", "-", "EditSettings", "-", "Version1"}));
    QCOMPARE(w.FilePrintSetup1->text(), QStringLiteral("プリンタの設定(&U)..."));
    QCOMPARE(w.EditCut1->shortcut(), QKeySequence(QStringLiteral("Ctrl+X")));
    QVERIFY(!w.EditCut1->isIconVisibleInMenu());
    for (QToolButton *button : w.ToolBar1->findChildren<QToolButton *>())
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
}

void tst_Commands::toolTipsShowTheShortHintAndShortcut_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("tip");
    QTest::newRow("exit") << "tbtnExit"
                          << "終了";
    QTest::newRow("save as") << "tbtnSaveAs"
                             << "今日の日記に名前をつけて保存";
    QTest::newRow("print") << "tbtnPrintSetup"
                           << "プリンタの設定";
    QTest::newRow("cut") << "tbtnEditCut"
                         << "切り取り (Ctrl+X)";
    QTest::newRow("copy") << "tbtnEditCopy"
                          << "コピー (Ctrl+C)";
    QTest::newRow("paste") << "tbtnEditPaste"
                           << "貼り付け (Ctrl+V)";
    QTest::newRow("settings") << "tbtnSettings"
                              << "初期設定";
    QTest::newRow("version") << "tbtnVersion"
                             << "バージョン情報";
}

void tst_Commands::toolTipsShowTheShortHintAndShortcut()
{
    QFETCH(QString, button);
    QFETCH(QString, tip);
    TfrmMain &w = f->start();
    auto *b = w.findChild<QToolButton *>(button);
    QVERIFY(b);
    QCOMPARE(b->toolTip(), tip);
}

void tst_Commands::exportWritesTheWorkedExample()
{
    TfrmMain &w = f->start();
    w.memToday->setText(QStringLiteral("A\nB"));
    w.mem1YearAgo->setText(QStringLiteral("K\n"));
    w.mem3YearsAgo->setText(QStringLiteral("N"));
    const QString out = f->root.filePath(QStringLiteral("out.txt"));
    f->prompter.fileAnswers << out;
    w.FileSaveAs1->trigger();
    QCOMPARE(savedFile(out),
        QByteArray("2003/1/5\r\nA\r\nB\r\n2002/1/5\r\nK\r\n\r\n2001/1/5\r\n\r\n"
                   "2000/1/5\r\nN\r\n1999/1/5\r\n\r\n"));
    QCOMPARE(f->prompter.messages.size(), 1);
    QCOMPARE(f->prompter.messages[0].kind, QStringLiteral("information"));
    QCOMPARE(f->prompter.messages[0].title, QStringLiteral("情報"));
    QCOMPARE(f->prompter.messages[0].text, QStringLiteral("保存しました"));
}

void tst_Commands::exportOfEmptyPanesHasEveryHeading()
{
    f.reset();
    f = std::make_unique<DiaryFixture>(QDate(2003, 12, 31));
    QVERIFY(f->useDiary());
    TfrmMain &w = f->start();
    const QString out = f->root.filePath(QStringLiteral("empty.txt"));
    w.FileSaveAs1Accept(out);
    QCOMPARE(savedFile(out),
        QByteArray("2003/12/31\r\n\r\n2002/12/31\r\n\r\n2001/12/31\r\n\r\n2000/12/31\r\n\r\n"
                   "1999/12/31\r\n\r\n"));
}

void tst_Commands::exportTakesUnsavedTextAndWritesNoEntry()
{
    QVERIFY(f->useDiary("99"));
    QVERIFY(f->writeEntry(2003, 1, 5, "saved"));
    TfrmMain &w = f->start();
    w.memToday->moveCursor(QTextCursor::End);
    w.memToday->insertTyped(QStringLiteral(" 追記"));
    const QString out = f->root.filePath(QStringLiteral("out.txt"));
    w.FileSaveAs1Accept(out);
    QVERIFY(savedFile(out).startsWith("2003/1/5\r\nsaved \x92\xc7\x8b\x4c\r\n"));
    QCOMPARE(savedFile(f->entry(2003, 1, 5)), QByteArray("saved"));
}

void tst_Commands::exportReplacesAnExistingFileWhole()
{
    TfrmMain &w = f->start();
    const QString out = f->root.filePath(QStringLiteral("out.txt"));
    WRITE_FILE(out, QByteArray(4096, 'o'));
    w.FileSaveAs1Accept(out);
    QVERIFY(savedFile(out).startsWith("2003/1/5\r\n"));
    QCOMPARE(savedFile(out).size(), 5 * 12);
}

void tst_Commands::exportOverReadOnlyFileDoesNothing()
{
    TfrmMain &w = f->start();
    const QString out = f->root.filePath(QStringLiteral("locked.txt"));
    WRITE_FILE(out, "old");
    QFile::setPermissions(out, QFile::ReadOwner);
    w.FileSaveAs1Accept(out);
    QCOMPARE(savedFile(out), QByteArray("old"));
    QCOMPARE(f->prompter.messages.size(), 0);
}

void tst_Commands::exportIntoMissingFolderReportsWithoutBox()
{
    TfrmMain &w = f->start();
    const QString out = f->root.filePath(QStringLiteral("missing/out.txt"));
    f->prompter.fileAnswers << out;
    w.FileSaveAs1->trigger();
    QCOMPARE(f->prompter.messages.size(), 1);
    QCOMPARE(f->prompter.messages[0].kind, QStringLiteral("error"));
    QCOMPARE(
        f->prompter.messages[0].text, QStringLiteral("ファイル %1 を作成できません.").arg(out));
}

void tst_Commands::exportCancelledWritesNothing()
{
    TfrmMain &w = f->start();
    w.FileSaveAs1->trigger();
    QCOMPARE(f->prompter.fileDialogRuns, 1);
    QCOMPARE(f->prompter.messages.size(), 0);
    QCOMPARE(QDir(f->root.path()).entryList(QDir::Files), QStringList({"Orlune.ini"}));
}

void tst_Commands::saveDialogProposesTheLastPathAndAddsTheSuffix()
{
    TfrmMain &w = f->start();
    const QString out = f->root.filePath(QStringLiteral("first.txt"));
    f->prompter.fileAnswers << out;
    w.FileSaveAs1->trigger();
    QFileDialog *dialog = f->prompter.lastFileDialog;
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("日記を出力"));
    QCOMPARE(
        dialog->nameFilters(), QStringList({"テキストファイル (*.txt)", "すべてのファイル (*.*)"}));
    QCOMPARE(dialog->defaultSuffix(), QStringLiteral("txt"));
    QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
    QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
    w.FileSaveAs1->trigger();
    QCOMPARE(f->prompter.lastFileDialog, dialog);
    QCOMPARE(dialog->selectedFiles().value(0), out);

    dialog->setDirectory(f->root.path());
    dialog->selectFile(QStringLiteral("second"));
    QCOMPARE(dialog->selectedFiles().value(0), f->root.filePath(QStringLiteral("second.txt")));
}

void tst_Commands::editCommandsFollowFocusAndSelection()
{
    TfrmMain &w = f->start();
    w.memToday->setFocus(Qt::OtherFocusReason);
    w.updateCommandStates();
    QVERIFY(!w.EditCut1->isEnabled());
    QVERIFY(!w.EditCopy1->isEnabled());
    QVERIFY(!w.EditPaste1->isEnabled());
    QGuiApplication::clipboard()->setText(QStringLiteral("clip"));
    QVERIFY(w.EditPaste1->isEnabled());

    QTest::keyClicks(w.memToday, QStringLiteral("hello"));
    w.memToday->selectAll();
    QVERIFY(w.EditCut1->isEnabled());
    QVERIFY(w.EditCopy1->isEnabled());
    auto *cutButton = w.findChild<QToolButton *>(QStringLiteral("tbtnEditCut"));
    QVERIFY(cutButton->isEnabled());

    w.Calendar1->setFocus(Qt::OtherFocusReason);
    QVERIFY(!w.EditCut1->isEnabled());
    QVERIFY(!w.EditCopy1->isEnabled());
    QVERIFY(!w.EditPaste1->isEnabled());
    QVERIFY(!cutButton->isEnabled());
    QTest::keyClick(w.Calendar1, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(w.memToday->text(), QStringLiteral("hello"));

    w.memToday->setFocus(Qt::OtherFocusReason);
    w.EditCut1->trigger();
    QCOMPARE(w.memToday->text(), QString());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("hello"));
    w.EditPaste1->trigger();
    QCOMPARE(w.memToday->text(), QStringLiteral("hello"));
}

void tst_Commands::readOnlyPaneCopiesButNeverChanges()
{
    TfrmMain &w = f->start();
    w.mem2YearsAgo->setText(QStringLiteral("過去の日記"));
    w.mem2YearsAgo->setFocus(Qt::MouseFocusReason);
    w.mem2YearsAgo->selectAll();
    QVERIFY(w.EditCopy1->isEnabled());
    w.EditCopy1->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("過去の日記"));
    w.EditCut1->trigger();
    w.EditPaste1->trigger();
    QCOMPARE(w.mem2YearsAgo->text(), QStringLiteral("過去の日記"));
}

void tst_Commands::exitSavesTheEntry()
{
    TfrmMain &w = f->start();
    QTest::keyClicks(w.memToday, QStringLiteral("bye"));
    w.FileExit1->trigger();
    QVERIFY(!w.isVisible());
    QCOMPARE(savedFile(f->entry(2003, 1, 5)), QByteArray("bye"));
}

void tst_Commands::versionCommandMakesAFreshDialogEachTime()
{
    TfrmMain &w = f->start();
    w.Version1->trigger();
    TOKBottomDlg *first = OKBottomDlg;
    w.Version1->trigger();
    QVERIFY(first && OKBottomDlg && first != OKBottomDlg);
    QCOMPARE(OKBottomDlg->parent(), &w);
    QCOMPARE(f->prompter.modalTitles, QStringList({"バージョン情報", "バージョン情報"}));
}

void tst_Commands::printSetupRunsWithoutAPrinter()
{
    PrintSetup::setModulePathForTesting(QStringLiteral(ORLUNE_PRINTSETUP_PATH));
    TfrmMain &w = f->start();
    w.FilePrintSetup1->trigger();
    w.FilePrintSetup1->trigger();
    QCOMPARE(f->prompter.modalRuns, 2);
    QCOMPARE(f->prompter.modalTitles.value(0), QStringLiteral("プリンタの設定"));
    QCOMPARE(f->prompter.messages.size(), 0);
}

void tst_Commands::printSetupWithoutItsModuleIsReported()
{
    PrintSetup::setModulePathForTesting(f->root.filePath(QStringLiteral("missing.so")));
    TfrmMain &w = f->start();
    w.FilePrintSetup1->trigger();
    QCOMPARE(f->prompter.modalRuns, 0);
    QCOMPARE(f->prompter.messages.size(), 1);
    QCOMPARE(f->prompter.messages[0].kind, QStringLiteral("error"));
    QVERIFY(f->prompter.messages[0].text.contains(QStringLiteral("missing.so")));
}

void tst_Commands::cleanup()
{
    PrintSetup::setModulePathForTesting(QString());
    f.reset();
    VERIFY_NO_WINDOW_LEFT_OPEN();
}

QTEST_MAIN(tst_Commands)
#include "tst_commands.moc"
