#include "DiaryFixture.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "storage/Settings.h"
#include "ui/ErrorReport.h"
#include "ui/FolderTree.h"
#include "ui/NumberSpinBox.h"
#include "ui/SettingsForm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

// The settings dialog over a settings file and a home folder in a scratch folder.
class tst_SettingsForm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void laysOutTheDesignedWindow();
    void controlsSitWhereDesigned_data();
    void controlsSitWhereDesigned();
    void tabOrderRunsOkCancelSpinBoxTree();
    void firstStartSelectsHomeAndEnterStoresIt();
    void showsTheStoredIntervalInRange_data();
    void showsTheStoredIntervalInRange();
    void closingWithoutOkWritesNothingYetRereads_data();
    void closingWithoutOkWritesNothingYetRereads();
    void okAfterChangingOnlyTheIntervalReplacesDir();
    void okStoresTheTypedNumberInRange_data();
    void okStoresTheTypedNumberInRange();
    void unstorableFolderNameStoresNothing_data();
    void unstorableFolderNameStoresNothing();
    void failedWriteIsReportedAndTheDialogStillCloses();
    void laterShowingsKeepPositionAndFocus();

private:
    QString home() const { return m_dir->filePath(QStringLiteral("home")); }
    QString iniPath() const { return m_dir->filePath(QStringLiteral("Orlune.ini")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_savedHome;
};

namespace {

TSettings &settingsOf(QDialog &dialog)
{
    return static_cast<TSettings &>(dialog);
}

QByteArray iniOf(const QString &dir, const QByteArray &chars)
{
    return settingsText(QFile::encodeName(dir), chars);
}

} // namespace

void tst_SettingsForm::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(home()));
    m_savedHome = qgetenv("HOME");
    qputenv("HOME", home().toLocal8Bit());
    setExecutablePathForTesting(m_dir->filePath(QStringLiteral("Orlune")));
    DiaryDir = QStringLiteral("not read");
    CharsToSave = -1;
}

void tst_SettingsForm::cleanup()
{
    setExecutablePathForTesting(QString());
    qputenv("HOME", m_savedHome);
    m_dir.reset();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void tst_SettingsForm::laysOutTheDesignedWindow()
{
    TSettings dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("設定処理"));
    QCOMPARE(dialog.size(), QSize(430, 350));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMinMaxButtonsHint));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
    QCOMPARE(dialog.font().pixelSize(), 12);
    QVERIFY(dialog.lblMessage->wordWrap());
    QVERIFY(dialog.lblMessage->autoFillBackground());
    QCOMPARE(dialog.lblMessage->palette().color(QPalette::Window), QColor(192, 220, 192));
    // Both lines of the instruction fit the band.
    QVERIFY(dialog.lblMessage->heightForWidth(401) <= 32);
    QCOMPARE(dialog.lblMessage->accessibleName(),
        QStringLiteral("日記データを保管する場所と自動保管するタイミングを指定してください。指定し"
                       "ないと、データの保管ができません。"));
    QVERIFY(dialog.OKBtn->isDefault());
    QCOMPARE(dialog.CancelBtn->text(), QStringLiteral("キャンセル"));
    QCOMPARE(dialog.lblMoji->text(), QStringLiteral("文字"));
    QCOMPARE(dialog.sedtNumberOfChars->minimum(), 5);
    QCOMPARE(dialog.sedtNumberOfChars->maximum(), 99);
    QCOMPARE(dialog.sedtNumberOfChars->maxLength(), 2);
    QCOMPARE(
        dialog.ShellTreeView1->accessibleName(), QStringLiteral("日記データ保存ディレクトリ指定"));
    QCOMPARE(dialog.sedtNumberOfChars->accessibleName(), QStringLiteral("自動保存する更新文字数"));
}

void tst_SettingsForm::controlsSitWhereDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("fontHeight");
    // An empty size: a label sized to its text.
    QTest::newRow("lblMessage") << "lblMessage" << QRect(8, 8, 401, 32) << 16;
    QTest::newRow("lblDirectory") << "lblDirectory" << QRect(8, 48, 0, 0) << 16;
    QTest::newRow("ShellTreeView1") << "ShellTreeView1" << QRect(16, 72, 393, 209) << 12;
    QTest::newRow("lblToSave") << "lblToSave" << QRect(16, 296, 0, 0) << 16;
    QTest::newRow("sedtNumberOfChars") << "sedtNumberOfChars" << QRect(200, 288, 49, 26) << 16;
    QTest::newRow("lblMoji") << "lblMoji" << QRect(256, 296, 0, 0) << 16;
    QTest::newRow("OKBtn") << "OKBtn" << QRect(247, 316, 75, 25) << 12;
    QTest::newRow("CancelBtn") << "CancelBtn" << QRect(335, 316, 75, 25) << 12;
}

void tst_SettingsForm::controlsSitWhereDesigned()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(int, fontHeight);
    TSettings dialog;
    auto *control = dialog.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->pos(), geometry.topLeft());
    if (!geometry.isEmpty())
        QCOMPARE(control->size(), geometry.size());
    else
        QCOMPARE(control->size(), control->sizeHint());
    QCOMPARE(control->font().pixelSize(), fontHeight);
}

void tst_SettingsForm::tabOrderRunsOkCancelSpinBoxTree()
{
    TSettings dialog;
    QVERIFY(showActive(dialog));
    const auto focused = [] { return QApplication::focusWidget(); };
    QCOMPARE(focused(), dialog.OKBtn);
    const QList<QWidget *> order {
        dialog.CancelBtn, dialog.sedtNumberOfChars, dialog.ShellTreeView1, dialog.OKBtn};
    for (QWidget *next : order) {
        QTest::keyClick(focused(), Qt::Key_Tab);
        QVERIFY(focused() == next || next->isAncestorOf(focused()));
    }
    dialog.close();
}

void tst_SettingsForm::firstStartSelectsHomeAndEnterStoresIt()
{
    TSettings dialog;
    ScriptedPrompter prompter;
    QString selected, shown;
    QWidget *focus = nullptr;
    prompter.modalAnswers.append([&](QDialog &modal) {
        if (!showActive(modal))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        selected = settingsOf(modal).ShellTreeView1->selectedPath();
        shown = settingsOf(modal).sedtNumberOfChars->text();
        focus = QApplication::focusWidget();
        QTest::keyClick(focus, Qt::Key_Return);
        return modal.result();
    });
    showSettings(dialog);
    QCOMPARE(prompter.modalRuns, 1);
    QCOMPARE(selected, home());
    QCOMPARE(shown, QStringLiteral("20"));
    QCOMPARE(focus, dialog.OKBtn);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(readFile(iniPath()), iniOf(home(), "20"));
    QCOMPARE(DiaryDir, home());
    QCOMPARE(CharsToSave, 20);
    QVERIFY(prompter.messages.isEmpty());
}

void tst_SettingsForm::showsTheStoredIntervalInRange_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("shown");
    const QByteArray head = "[Data]\r\nDir=/nowhere\r\n";
    QTest::newRow("below") << head + "NumberOfCharsToSave=3\r\n"
                           << "5";
    QTest::newRow("above") << head + "NumberOfCharsToSave=150\r\n"
                           << "99";
    QTest::newRow("inside") << head + "NumberOfCharsToSave=42\r\n"
                            << "42";
    QTest::newRow("hexadecimal") << head + "NumberOfCharsToSave=0x1E\r\n"
                                 << "30";
    QTest::newRow("missing key") << head << "20";
    QTest::newRow("letters") << head + "NumberOfCharsToSave=abc\r\n"
                             << "20";
    QTest::newRow("nothing after =") << head + "NumberOfCharsToSave=\r\n"
                                     << "20";
}

void tst_SettingsForm::showsTheStoredIntervalInRange()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, shown);
    WRITE_FILE(iniPath(), ini);
    TSettings dialog;
    ScriptedPrompter prompter;
    QString seen;
    prompter.modalAnswers.append([&](QDialog &modal) {
        if (!showActive(modal))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        seen = settingsOf(modal).sedtNumberOfChars->text();
        QTest::mouseClick(settingsOf(modal).OKBtn, Qt::LeftButton);
        return modal.result();
    });
    showSettings(dialog);
    QCOMPARE(seen, shown);
    QCOMPARE(readFile(iniPath()), iniOf(home(), shown.toLatin1()));
}

void tst_SettingsForm::closingWithoutOkWritesNothingYetRereads_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Cancel") << 0;
    QTest::newRow("Esc") << 1;
    QTest::newRow("close button") << 2;
}

void tst_SettingsForm::closingWithoutOkWritesNothingYetRereads()
{
    QFETCH(int, how);
    WRITE_FILE(iniPath(), iniOf(QStringLiteral("/stored"), "30"));
    const QByteArray handEdited = iniOf(QStringLiteral("/edited by hand"), "40");
    TSettings dialog;
    ScriptedPrompter prompter;
    const auto closeWithoutOk = [&](QDialog &modal) {
        if (!showActive(modal))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        TSettings &settings = settingsOf(modal);
        settings.ShellTreeView1->selectFolder(settings.ShellTreeView1->indexOfPath(m_dir->path()));
        settings.sedtNumberOfChars->setFocus();
        QTest::keyClick(settings.sedtNumberOfChars, Qt::Key_Up);
        if (!writeFile(iniPath(), handEdited))
            QTest::qFail("the settings file could not be written", __FILE__, __LINE__);
        if (how == 0)
            QTest::mouseClick(settings.CancelBtn, Qt::LeftButton);
        else if (how == 1)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        else
            modal.close();
        return modal.result();
    };
    QString selectedAgain, shownAgain;
    prompter.modalAnswers.append(closeWithoutOk);
    prompter.modalAnswers.append([&](QDialog &modal) {
        if (!showActive(modal))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        selectedAgain = settingsOf(modal).ShellTreeView1->selectedPath();
        shownAgain = settingsOf(modal).sedtNumberOfChars->text();
        modal.reject();
        return modal.result();
    });
    showSettings(dialog);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(readFile(iniPath()), handEdited);
    QCOMPARE(DiaryDir, QStringLiteral("/edited by hand"));
    QCOMPARE(CharsToSave, 40);
    showSettings(dialog);
    QCOMPARE(selectedAgain, m_dir->path());
    QCOMPARE(shownAgain, QStringLiteral("40"));
    QCOMPARE(readFile(iniPath()), handEdited);
}

void tst_SettingsForm::okAfterChangingOnlyTheIntervalReplacesDir()
{
    WRITE_FILE(iniPath(), "; kept\r\n[Data]\r\nDir=/stored before\r\nNumberOfCharsToSave=30\r\n");
    TSettings dialog;
    ScriptedPrompter prompter;
    prompter.modalAnswers.append([&](QDialog &modal) {
        if (!showActive(modal))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        NumberSpinBox *box = settingsOf(modal).sedtNumberOfChars;
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, QStringLiteral("42"));
        QTest::mouseClick(settingsOf(modal).OKBtn, Qt::LeftButton);
        return modal.result();
    });
    showSettings(dialog);
    QCOMPARE(readFile(iniPath()), "; kept\r\n" + iniOf(home(), "42"));
    QCOMPARE(DiaryDir, home());
    QCOMPARE(CharsToSave, 42);
}

void tst_SettingsForm::okStoresTheTypedNumberInRange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("emptied, OK clicked") << "" << false << QByteArray("5");
    QTest::newRow("emptied, Enter") << "" << true << QByteArray("5");
    QTest::newRow("3, OK clicked") << "3" << false << QByteArray("5");
    QTest::newRow("3, Enter") << "3" << true << QByteArray("5");
    QTest::newRow("0, Enter") << "0" << true << QByteArray("5");
    QTest::newRow("-4, Enter") << "-4" << true << QByteArray("5");
    QTest::newRow("lone sign, Enter") << "-" << true << QByteArray("5");
    QTest::newRow("7, Enter") << "7" << true << QByteArray("7");
    QTest::newRow("99, Enter") << "99" << true << QByteArray("99");
}

void tst_SettingsForm::okStoresTheTypedNumberInRange()
{
    QFETCH(QString, typed);
    QFETCH(bool, byEnter);
    QFETCH(QByteArray, stored);
    TSettings dialog;
    ScriptedPrompter prompter;
    prompter.modalAnswers.append([&](QDialog &modal) {
        if (!showActive(modal))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        NumberSpinBox *box = settingsOf(modal).sedtNumberOfChars;
        box->setFocus();
        box->findChild<QLineEdit *>()->clear();
        QTest::keyClicks(box, typed);
        if (byEnter)
            QTest::keyClick(box, Qt::Key_Return);
        else
            QTest::mouseClick(settingsOf(modal).OKBtn, Qt::LeftButton);
        return modal.result();
    });
    showSettings(dialog);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(readFile(iniPath()), iniOf(home(), stored));
    QCOMPARE(CharsToSave, stored.toInt());
}

void tst_SettingsForm::unstorableFolderNameStoresNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("accented letter") << QStringLiteral("café");
    QTest::newRow("emoji") << QStringLiteral("日記😀");
    QTest::newRow("line break") << QStringLiteral("a\nb");
}

void tst_SettingsForm::unstorableFolderNameStoresNothing()
{
    QFETCH(QString, name);
    const QByteArray before = iniOf(QStringLiteral("/stored"), "30");
    WRITE_FILE(iniPath(), before);
    const QString folder = QDir(home()).filePath(name);
    QVERIFY(QDir().mkpath(folder));
    TSettings dialog;
    ScriptedPrompter prompter;
    prompter.modalAnswers.append([&](QDialog &modal) {
        if (!showActive(modal))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        FolderTree *tree = settingsOf(modal).ShellTreeView1;
        tree->selectFolder(tree->indexOfPath(folder));
        QTest::mouseClick(settingsOf(modal).OKBtn, Qt::LeftButton);
        return modal.result();
    });
    showSettings(dialog);
    QCOMPARE(readFile(iniPath()), before);
    QCOMPARE(prompter.messages.size(), 1);
    QCOMPARE(prompter.messages[0].kind, QStringLiteral("error"));
    QCOMPARE(prompter.messages[0].text, errorReportText(unstorableFolderMessage(folder)));
    QVERIFY(prompter.messages[0].text.contains(folder));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(DiaryDir, QStringLiteral("/stored"));
    QCOMPARE(CharsToSave, 30);
}

void tst_SettingsForm::failedWriteIsReportedAndTheDialogStillCloses()
{
    // Beside a program whose folder is gone the user's own file is tried, and a configuration
    // folder below a file cannot be made, even by root.
    WRITE_FILE(m_dir->filePath(QStringLiteral("file")), "x");
    const QString config = m_dir->filePath(QStringLiteral("file/config"));
    const QString unwritable = config + QStringLiteral("/orlune/Orlune.ini");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    setExecutablePathForTesting(m_dir->filePath(QStringLiteral("missing/Orlune")));
    TSettings dialog;
    ScriptedPrompter prompter;
    prompter.modalAnswers.append([&](QDialog &modal) {
        if (!showActive(modal))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        QTest::mouseClick(settingsOf(modal).OKBtn, Qt::LeftButton);
        return modal.result();
    });
    showSettings(dialog);
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(prompter.messages.size(), 1);
    QCOMPARE(prompter.messages[0].text,
        errorReportText(unwritable + QStringLiteral(" に書き込めません")));
    QVERIFY(!QFileInfo::exists(unwritable));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(DiaryDir, QString());
    QCOMPARE(CharsToSave, 20);
}

void tst_SettingsForm::laterShowingsKeepPositionAndFocus()
{
    TSettings dialog;
    ScriptedPrompter prompter;
    QPoint firstCentre, secondPosition;
    QWidget *secondFocus = nullptr;
    prompter.modalAnswers.append([&](QDialog &modal) {
        if (!showActive(modal))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        firstCentre = modal.frameGeometry().center();
        modal.move(50, 60);
        settingsOf(modal).sedtNumberOfChars->setFocus();
        modal.reject();
        return modal.result();
    });
    prompter.modalAnswers.append([&](QDialog &modal) {
        if (!showActive(modal))
            QTest::qFail("the dialog never became active", __FILE__, __LINE__);
        secondPosition = modal.pos();
        secondFocus = QApplication::focusWidget();
        modal.reject();
        return modal.result();
    });
    showSettings(dialog);
    showSettings(dialog);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY((firstCentre - screenCentre).manhattanLength() <= 8);
    QCOMPARE(secondPosition, QPoint(50, 60));
    QVERIFY(secondFocus == dialog.sedtNumberOfChars
        || dialog.sedtNumberOfChars->isAncestorOf(secondFocus));
}

QTEST_MAIN(tst_SettingsForm)
#include "tst_settingsform.moc"
