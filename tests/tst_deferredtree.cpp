#include "ScriptedPrompter.h"
#include "storage/Settings.h"
#include "ui/FolderModel.h"
#include "ui/FolderTree.h"
#include "ui/SettingsForm.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// The settings dialog is made at start-up but lists folders only when it is about to show.
class tst_DeferredTree : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void makingTheDialogListsNothing();
    void firstShowingFillsTheTreeOnceAndKeepsItAfterwards();

private:
    QString home() const { return m_dir->filePath(QStringLiteral("home")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_savedHome;
};

void tst_DeferredTree::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkpath(home() + QStringLiteral("/notes")));
    m_savedHome = qgetenv("HOME");
    qputenv("HOME", home().toLocal8Bit());
    setExecutablePathForTesting(m_dir->filePath(QStringLiteral("Orlune")));
}

void tst_DeferredTree::cleanup()
{
    setExecutablePathForTesting(QString());
    qputenv("HOME", m_savedHome);
    m_dir.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_DeferredTree::makingTheDialogListsNothing()
{
    TSettings dialog;
    QApplication::processEvents();
    QVERIFY(!dialog.ShellTreeView1->isFilled());
    QVERIFY(!dialog.ShellTreeView1->folderModel());
    QCOMPARE(dialog.ShellTreeView1->selectedPath(), QString());
    QVERIFY(!dialog.ShellTreeView1->indexOfPath(home()).isValid());
}

void tst_DeferredTree::firstShowingFillsTheTreeOnceAndKeepsItAfterwards()
{
    TSettings dialog;
    ScriptedPrompter prompter;
    QString first, second;
    prompter.modalAnswers.append([&](QDialog &modal) {
        modal.show();
        auto &settings = static_cast<TSettings &>(modal);
        first = settings.ShellTreeView1->selectedPath();
        FolderTree *tree = settings.ShellTreeView1;
        tree->selectFolder(tree->indexOfPath(home() + QStringLiteral("/notes")));
        modal.reject();
        return modal.result();
    });
    prompter.modalAnswers.append([&](QDialog &modal) {
        modal.show();
        second = static_cast<TSettings &>(modal).ShellTreeView1->selectedPath();
        modal.reject();
        return modal.result();
    });
    showSettings(dialog);
    QCOMPARE(first, home());
    showSettings(dialog);
    // A second showing must not fill again, which would lose the user's choice.
    QCOMPARE(second, home() + QStringLiteral("/notes"));
}

QTEST_MAIN(tst_DeferredTree)
#include "tst_deferredtree.moc"
