#include "DiaryFixture.h"
#include "WindowsLeft.h"
#include "storage/Cp932.h"
#include "storage/EntryFiles.h"
#include "storage/Exception.h"
#include "ui/SearchForm.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <cstdio>

namespace {

QByteArray sjis(const QString &text)
{
    return Cp932::encode(text);
}

QStringList paneTexts(const TfrmMain &w)
{
    QStringList texts;
    for (int i = 0; i < TfrmMain::kPaneCount; ++i)
        texts << w.pane(i)->text();
    return texts;
}

QStringList comboEntries(const QComboBox *combo)
{
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

QPoint cellCentre(TCalendar *calendar, int day)
{
    const int n = day - calendar->FirstCellOffset();
    return calendar->cellRect(n % 7, n / 7 + 1).center();
}

} // namespace

class tst_MainForm : public QObject
{
    Q_OBJECT

private slots:
    // Each test's fixture is gone by now: a window still shown is one a test left open.
    void cleanup() { VERIFY_NO_WINDOW_LEFT_OPEN(); }
    void firstRunOpensSettingsBeforeTheWindowIsShown();
    void showsTheFiveYearsOfToday();
    void layoutMatchesTheDesign();
    void showsLeapDayEntriesOnlyWhereTheyExist();
    void movingToAnotherDateNotifiesOnlyOnDifferentText();
    void unreadableEntryLeavesLaterPanesAsTheyWere();
    void emptyDiaryFolderClearsThePageWithoutLookingAtRoot();

    void selectorListsNineYearsAroundTheCalendar();
    void selectorMovesToTheChosenYear();
    void selectorReportsTheLeapDayError();
    void selectorTypedText_data();
    void selectorTypedText();
    void monthButtonsStepAndRebuild();

    void autosavesAtMultiplesOfTheInterval_data();
    void autosavesAtMultiplesOfTheInterval();
    void pasteOverAMultipleDoesNotSave();
    void deletingDownToAMultipleSaves();
    void emptyingThePaneKeepsTheFile();
    void leavingForTheCalendarSavesUnderTheOldDate();
    void loadingAnEntryNeverWrites();
    void searchMarksHitsWithoutTouchingTheText();
    void closeSavesAndClosesEvenWithReadOnlyEntry();
    void closeWithMissingFolderIsRefused();
    void closeSavesTextBeingComposed();
    void refusesCharactersThatCannotBeSaved();
    void settingsCheckOnFirstKeystroke();

    void pageFollowsChangesMadeElsewhere();
    void calendarMarksFollowTheEntries();
    void unsavedTypingKeepsTheOtherVersionBesideIt_data();
    void unsavedTypingKeepsTheOtherVersionBesideIt();
    void typingAfterAStrayLeadByteReadsBackAsTyped();
    void compositionIsNotReplacedByAReload();
    void anotherFolderTakesTheTypingOnlyWhenTheOldOneIsUnusable_data();
    void anotherFolderTakesTheTypingOnlyWhenTheOldOneIsUnusable();
};

void tst_MainForm::firstRunOpensSettingsBeforeTheWindowIsShown()
{
    DiaryFixture f;
    bool paneEmptyWhenAsked = false;
    f.prompter.modalAnswers << [&](QDialog &) {
        paneEmptyWhenAsked = f.window->memToday->text().isEmpty();
        return int(QDialog::Rejected);
    };
    QVERIFY(f.writeEntry(2026, 12, 8, "x"));
    TfrmMain &w = f.start();
    QCOMPARE(f.prompter.modalRuns, 1);
    QCOMPARE(f.prompter.modalTitles.value(0), QStringLiteral("設定処理"));
    QVERIFY(paneEmptyWhenAsked);
    // Cancelled: no folder, so the page stays empty.
    QCOMPARE(paneTexts(w), QStringList(5, QString()));
    QCOMPARE(comboEntries(w.cmbYearMonth).value(4), QStringLiteral("2026/12"));
}

void tst_MainForm::showsTheFiveYearsOfToday()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2026, 12, 8, sjis(QStringLiteral("今日は晴れ。\r\n散歩した。"))));
    QVERIFY(f.writeEntry(2025, 12, 8, "lf\nonly\n"));
    QDir().mkpath(f.diary + QStringLiteral("/2023")); // a year folder without the day
    QVERIFY(f.writeEntry(2022, 12, 8, ""));
    QVERIFY(f.writeEntry(2022, 12, 9, "next day"));
    TfrmMain &w = f.start();
    QCOMPARE(f.prompter.modalRuns, 0);
    QCOMPARE(paneTexts(w),
        QStringList({QStringLiteral("今日は晴れ。\n散歩した。"), QStringLiteral("lf\nonly\n"),
            QString(), QString(), QString()}));
    QVERIFY(w.memToday->hasFocus() || QApplication::focusWidget() == w.memToday
        || w.focusWidget() == w.memToday);
}

void tst_MainForm::layoutMatchesTheDesign()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    TfrmMain &w = f.start();
    QCOMPARE(w.windowTitle(), QStringLiteral("Orlune"));
    QCOMPARE(w.ClientArea->size(), QSize(792, 594));
    QCOMPARE(w.Calendar1->geometry(), QRect(16, 80, 249, 217));
    QCOMPARE(w.memToday->geometry(), QRect(272, 64, 249, 233));
    QCOMPARE(w.mem4YearsAgo->geometry(), QRect(528, 336, 249, 233));
    QCOMPARE(w.cmbYearMonth->geometry(), QRect(88, 40, 105, 27));
    QCOMPARE(w.StatusBar1->geometry(), QRect(0, 575, 792, 19));
    QCOMPARE(w.ToolBar1->geometry(), QRect(0, 0, 792, 29));
    QCOMPARE(w.lbl2YearsAgo->text(), QStringLiteral("２年前の日記"));
    QVERIFY(!w.memDiaryToSave->isVisible());
    QVERIFY(w.mem1YearAgo->isReadOnly() && !w.memToday->isReadOnly());
    QCOMPARE(w.memToday->font().pixelSize(), 16);
    QCOMPARE(w.btnPreMonth->font().pixelSize(), 19);
    QVERIFY(w.btnPreMonth->font().bold());
    // The designed face is not on a Linux desktop; its stand-in is the face actually drawn
    // (named in the desktop's language).
    const QString standIn = QFontInfo(QFont(QStringLiteral("IPAPGothic"))).family();
    QCOMPARE(QFontInfo(w.memToday->font()).family(), standIn);
    QCOMPARE(QFontInfo(w.lbl2YearsAgo->font()).family(), standIn);

    // Tab cycles calendar, editable pane, the two buttons and the selector.
    w.Calendar1->setFocus(Qt::OtherFocusReason);
    QList<QWidget *> order;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focus = QApplication::focusWidget();
        order << (focus == w.cmbYearMonth->lineEdit() ? w.cmbYearMonth : focus);
    }
    QCOMPARE(order,
        QList<QWidget *>({w.memToday, w.btnPreMonth, w.btnNextMonth, w.cmbYearMonth, w.Calendar1}));
}

void tst_MainForm::showsLeapDayEntriesOnlyWhereTheyExist()
{
    DiaryFixture f(QDate(2028, 2, 29));
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2028, 2, 29, "leap"));
    QVERIFY(f.writeEntry(2027, 2, 28, "not this one"));
    QVERIFY(f.writeEntry(2024, 2, 29, "four years ago"));
    TfrmMain &w = f.start();
    QCOMPARE(paneTexts(w),
        QStringList({QStringLiteral("leap"), QString(), QString(), QString(),
            QStringLiteral("four years ago")}));
}

void tst_MainForm::movingToAnotherDateNotifiesOnlyOnDifferentText()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2026, 12, 8, "same"));
    QVERIFY(f.writeEntry(2026, 12, 9, "same"));
    QVERIFY(f.writeEntry(2026, 12, 10, "different"));
    TfrmMain &w = f.start();
    QSignalSpy changes(w.memToday, &DiaryPane::changed);
    w.Calendar1->setDay(9);
    QCOMPARE(changes.count(), 0);
    w.Calendar1->setDay(10);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(w.memToday->text(), QStringLiteral("different"));
    w.Calendar1->setDay(11);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(w.memToday->text(), QString());
}

void tst_MainForm::unreadableEntryLeavesLaterPanesAsTheyWere()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    for (int year = 2022; year <= 2026; ++year) {
        QVERIFY(f.writeEntry(year, 12, 8, QByteArray::number(year) + "-08"));
        QVERIFY(f.writeEntry(year, 12, 9, QByteArray::number(year) + "-09"));
    }
    TfrmMain &w = f.start();
    const QString refused = f.entry(2024, 12, 9);
    FileFaults::setHook([refused](FileFaults::Step step, const QString &path) {
        return step == FileFaults::Step::OpenRead && path == refused;
    });
    // Picked on the calendar: the error ends the reload and reaches the report once.
    QTest::mouseClick(w.Calendar1, Qt::LeftButton, {}, cellCentre(w.Calendar1, 9));
    QCOMPARE(w.Calendar1->Day(), 9);
    QCOMPARE(f.prompter.messages.size(), 1);
    QCOMPARE(f.prompter.messages[0].text, QStringLiteral("ファイル %1 は開けません.").arg(refused));
    QCOMPARE(paneTexts(w), QStringList({"2026-09", "2025-09", "2024-08", "2023-08", "2022-08"}));

    // Written by the program's own code: the error leaves the write to its caller.
    const QString refusedToo = f.entry(2024, 12, 8);
    FileFaults::setHook([refusedToo](FileFaults::Step step, const QString &path) {
        return step == FileFaults::Step::OpenRead && path == refusedToo;
    });
    QVERIFY_THROWS_EXCEPTION(Exception, w.Calendar1->setDay(8));
    QCOMPARE(w.Calendar1->Day(), 8);
}

void tst_MainForm::emptyDiaryFolderClearsThePageWithoutLookingAtRoot()
{
    DiaryFixture f;
    QVERIFY(f.writeSettings(""));
    TfrmMain &w = f.start();
    QCOMPARE(f.prompter.modalRuns, 1);
    QCOMPARE(paneTexts(w), QStringList(5, QString()));
    // A save with no folder fails as a missing folder does, and never writes under "/".
    QTest::keyClicks(w.memToday, QStringLiteral("abc"));
    QVERIFY(!w.close());
    QCOMPARE(f.prompter.messages.last().text, QStringLiteral("Cannot create Directory."));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/2026/1208.txt")));
}

void tst_MainForm::selectorListsNineYearsAroundTheCalendar()
{
    DiaryFixture f(QDate(2003, 1, 15));
    QVERIFY(f.useDiary());
    TfrmMain &w = f.start();
    QCOMPARE(comboEntries(w.cmbYearMonth),
        QStringList({"1999/1", "2000/1", "2001/1", "2002/1", "2003/1", "2004/1", "2005/1", "2006/1",
            "2007/1"}));
    QCOMPARE(w.cmbYearMonth->currentIndex(), 4);
    QCOMPARE(w.cmbYearMonth->currentText(), QStringLiteral("2003/1"));
    QCOMPARE(w.cmbYearMonth->maxVisibleItems(), 8);
}

void tst_MainForm::selectorMovesToTheChosenYear()
{
    DiaryFixture f(QDate(2003, 1, 15));
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2001, 1, 15, "2001"));
    QVERIFY(f.writeEntry(1997, 1, 15, "1997"));
    TfrmMain &w = f.start();
    QSignalSpy changes(w.memToday, &DiaryPane::changed);
    w.cmbYearMonth->setCurrentIndex(2);
    emit w.cmbYearMonth->activated(2);
    QCOMPARE(w.Calendar1->SelectedDate(), QDate(2001, 1, 15));
    QCOMPARE(paneTexts(w),
        QStringList(
            {QStringLiteral("2001"), QString(), QString(), QString(), QStringLiteral("1997")}));
    QCOMPARE(comboEntries(w.cmbYearMonth).first(), QStringLiteral("1997/1"));
    QCOMPARE(w.cmbYearMonth->currentText(), QStringLiteral("2001/1"));
    QCOMPARE(changes.count(), 1);

    // The calendar's own year again: no reload, the same list rebuilt.
    w.memToday->setText(QStringLiteral("typed"));
    changes.clear();
    emit w.cmbYearMonth->activated(4);
    QCOMPARE(w.memToday->text(), QStringLiteral("typed"));
    QCOMPARE(changes.count(), 0);
    QCOMPARE(w.cmbYearMonth->currentIndex(), 4);
}

void tst_MainForm::selectorReportsTheLeapDayError()
{
    DiaryFixture f(QDate(2004, 2, 29));
    QVERIFY(f.useDiary());
    TfrmMain &w = f.start();
    w.cmbYearMonth->setCurrentIndex(3); // 2003/2
    emit w.cmbYearMonth->activated(3);
    QCOMPARE(f.prompter.messages.size(), 1);
    QCOMPARE(f.prompter.messages[0].text, QStringLiteral("日付に変換できない値が渡されました."));
    QCOMPARE(f.prompter.messages[0].title, QStringLiteral("tst_mainform"));
    QCOMPARE(w.Calendar1->SelectedDate(), QDate(2004, 2, 29));
    QCOMPARE(w.cmbYearMonth->currentText(), QStringLiteral("2003/2"));

    w.cmbYearMonth->setCurrentIndex(0); // 2000/2
    emit w.cmbYearMonth->activated(0);
    QCOMPARE(w.Calendar1->SelectedDate(), QDate(2000, 2, 29));
}

void tst_MainForm::selectorTypedText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("error");
    QTest::newRow("year and month") << "2010/3" << QDate(2010, 3, 8) << QString();
    QTest::newRow("listed entry") << "2024/12" << QDate(2024, 12, 8) << QString();
    QTest::newRow("not a number") << "abc" << QDate(2026, 12, 8)
                                  << QStringLiteral("'abc' は整数ではありません.");
    QTest::newRow("year only") << "2010" << QDate(2026, 12, 8)
                               << QStringLiteral("'2010' は整数ではありません.");
    QTest::newRow("year out of range")
        << "10000/1" << QDate(2026, 12, 8) << QStringLiteral("日付に変換できない値が渡されました.");
}

void tst_MainForm::selectorTypedText()
{
    QFETCH(QString, typed);
    QFETCH(QDate, date);
    QFETCH(QString, error);
    DiaryFixture f;
    QVERIFY(f.useDiary());
    TfrmMain &w = f.start();
    QLineEdit *field = w.cmbYearMonth->lineEdit();
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, typed);
    QCOMPARE(w.Calendar1->SelectedDate(), QDate(2026, 12, 8)); // typing moves nothing
    QCOMPARE(f.prompter.messages.size(), 0);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(w.Calendar1->SelectedDate(), date);
    QCOMPARE(f.prompter.messages.isEmpty() ? QString() : f.prompter.messages.last().text, error);
    QCOMPARE(
        w.cmbYearMonth->currentText(), QStringLiteral("%1/%2").arg(date.year()).arg(date.month()));
    QCOMPARE(w.cmbYearMonth->count(), 9);
}

void tst_MainForm::monthButtonsStepAndRebuild()
{
    DiaryFixture f(QDate(2003, 12, 31));
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2004, 1, 31, "january"));
    TfrmMain &w = f.start();
    QSignalSpy changes(w.memToday, &DiaryPane::changed);
    QSignalSpy dates(w.Calendar1, &TCalendar::dateChanged);
    QTest::mouseClick(w.btnNextMonth, Qt::LeftButton);
    QCOMPARE(w.Calendar1->SelectedDate(), QDate(2004, 1, 31));
    QCOMPARE(dates.count(), 1);
    QCOMPARE(dates[0][0].toDate(), QDate(2004, 1, 31));
    QCOMPARE(w.memToday->text(), QStringLiteral("january"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(comboEntries(w.cmbYearMonth).first(), QStringLiteral("2000/1"));
    QCOMPARE(comboEntries(w.cmbYearMonth).last(), QStringLiteral("2008/1"));

    w.Calendar1->setMonth(3);
    QTest::mouseClick(w.btnPreMonth, Qt::LeftButton);
    QCOMPARE(w.Calendar1->SelectedDate(), QDate(2004, 2, 29));
    QVERIFY(w.cmbYearMonth->currentText().endsWith(QStringLiteral("/2")));
}

void tst_MainForm::autosavesAtMultiplesOfTheInterval_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("savedAt"); // characters typed when the first save happens
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << QString(20, QLatin1Char('a')) << 20 << QByteArray(20, 'a');
    QTest::newRow("full width") << QString(10, QChar(0x3042)) << 10
                                << QByteArray("\x82\xa0").repeated(10);
    QTest::newRow("line breaks count two")
        << QStringLiteral("123456789\n123456789") << 19 << QByteArray("123456789\r\n123456789");
}

void tst_MainForm::autosavesAtMultiplesOfTheInterval()
{
    QFETCH(QString, typed);
    QFETCH(int, savedAt);
    QFETCH(QByteArray, bytes);
    DiaryFixture f;
    QVERIFY(f.useDiary());
    TfrmMain &w = f.start();
    const QString path = f.entry(2026, 12, 8);
    for (int i = 0; i < typed.size(); ++i) {
        QCOMPARE(savedFile(path) != "<missing>", i >= savedAt);
        if (typed.at(i) == QLatin1Char('\n'))
            QTest::keyClick(w.memToday, Qt::Key_Return);
        else
            w.memToday->insertTyped(typed.mid(i, 1));
    }
    QCOMPARE(savedFile(path), bytes);
}

void tst_MainForm::pasteOverAMultipleDoesNotSave()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    TfrmMain &w = f.start();
    QTest::keyClicks(w.memToday, QString(18, QLatin1Char('x')));
    QSignalSpy changes(w.memToday, &DiaryPane::changed);
    QGuiApplication::clipboard()->setText(QStringLiteral("1234567"));
    w.memToday->paste();
    QCOMPARE(changes.count(), 1);
    QCOMPARE(savedFile(f.entry(2026, 12, 8)), "<missing>");
    QTest::keyClicks(w.memToday, QString(15, QLatin1Char('y')));
    QCOMPARE(savedFile(f.entry(2026, 12, 8)).size(), 40);
}

void tst_MainForm::deletingDownToAMultipleSaves()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2026, 12, 8, QByteArray(41, 'z')));
    TfrmMain &w = f.start();
    w.memToday->moveCursor(QTextCursor::End);
    QTest::keyClick(w.memToday, Qt::Key_Backspace);
    QCOMPARE(savedFile(f.entry(2026, 12, 8)), QByteArray(40, 'z'));
}

void tst_MainForm::emptyingThePaneKeepsTheFile()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2026, 12, 8, QByteArray(20, 'k')));
    TfrmMain &w = f.start();
    w.memToday->selectAll();
    QTest::keyClick(w.memToday, Qt::Key_Delete);
    QCOMPARE(w.memToday->text(), QString());
    QVERIFY(w.close());
    QCOMPARE(savedFile(f.entry(2026, 12, 8)), QByteArray(20, 'k'));
}

void tst_MainForm::leavingForTheCalendarSavesUnderTheOldDate()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2026, 12, 9, "tomorrow"));
    TfrmMain &w = f.start();
    QApplication::setActiveWindow(&w);
    w.memToday->setFocus(Qt::OtherFocusReason);
    QTest::keyClicks(w.memToday, QStringLiteral("abc"));
    QTest::mouseClick(w.Calendar1, Qt::LeftButton, {}, cellCentre(w.Calendar1, 9));
    QCOMPARE(savedFile(f.entry(2026, 12, 8)), QByteArray("abc"));
    QCOMPARE(w.Calendar1->Day(), 9);
    QCOMPARE(w.memToday->text(), QStringLiteral("tomorrow"));
    QCOMPARE(savedFile(f.entry(2026, 12, 9)), QByteArray("tomorrow"));
}

void tst_MainForm::searchMarksHitsWithoutTouchingTheText()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    const QByteArray bytes = sjis(QStringLiteral("カナダの友人。かなだ。"));
    QVERIFY(f.writeEntry(2026, 12, 8, bytes));
    QVERIFY(f.writeEntry(2024, 12, 8, sjis(QStringLiteral("ｶﾅﾀﾞへ"))));
    TfrmMain &w = f.start();
    QSignalSpy changes(w.memToday, &QPlainTextEdit::textChanged);
    w.openSearch();
    QVERIFY(w.frmSearch && w.frmSearch->isVisible());
    w.frmSearch->edtQuery->setText(QStringLiteral("かなだ"));
    QTRY_COMPARE(w.memToday->extraSelections().size(), 2);
    QCOMPARE(w.mem2YearsAgo->extraSelections().size(), 1);
    QCOMPARE(
        w.mem2YearsAgo->extraSelections().first().cursor.selectedText(), QStringLiteral("ｶﾅﾀﾞ"));
    QCOMPARE(changes.count(), 0);
    QVERIFY(!w.memToday->document()->isModified());
    // Nothing is saved because of a mark.
    f.window.reset();
    QCOMPARE(readFile(f.entry(2026, 12, 8)), bytes);
}

void tst_MainForm::loadingAnEntryNeverWrites()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2026, 12, 8, QByteArray(20, 'a')));
    QVERIFY(f.writeEntry(2026, 12, 9, QByteArray(40, 'b')));
    int writes = 0;
    FileFaults::setHook([&writes](FileFaults::Step step, const QString &) {
        writes += step == FileFaults::Step::Create ? 1 : 0;
        return false;
    });
    TfrmMain &w = f.start();
    w.Calendar1->setDay(9);
    w.Calendar1->setDay(8);
    QCOMPARE(writes, 0);
    QCOMPARE(w.memToday->text(), QString(20, QLatin1Char('a')));
}

void tst_MainForm::closeSavesAndClosesEvenWithReadOnlyEntry()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    TfrmMain &w = f.start();
    QTest::keyClicks(w.memToday, QStringLiteral("first"));
    QVERIFY(w.close());
    QCOMPARE(savedFile(f.entry(2026, 12, 8)), QByteArray("first"));

    DiaryFixture g;
    QVERIFY(g.useDiary());
    QVERIFY(g.writeEntry(2026, 12, 8, "kept"));
    QFile::setPermissions(g.entry(2026, 12, 8), QFile::ReadOwner | QFile::ReadUser);
    TfrmMain &v = g.start();
    QTest::keyClicks(v.memToday, QStringLiteral(" more"));
    QVERIFY(v.close());
    QCOMPARE(g.prompter.messages.size(), 0);
    QCOMPARE(savedFile(g.entry(2026, 12, 8)), QByteArray("kept"));
}

void tst_MainForm::closeWithMissingFolderIsRefused()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    TfrmMain &w = f.start();
    QTest::keyClicks(w.memToday, QStringLiteral("precious"));
    QDir(f.diary).removeRecursively();
    QVERIFY(!w.close());
    QCOMPARE(f.prompter.modalRuns, 1); // the settings dialog was offered first
    QCOMPARE(f.prompter.messages.last().text, QStringLiteral("Cannot create Directory."));
    QVERIFY(w.isVisible());
    QCOMPARE(w.memToday->text(), QStringLiteral("precious"));
}

// With no input method to ask (offscreen), the pane confirms the composition itself.
void tst_MainForm::closeSavesTextBeingComposed()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    TfrmMain &w = f.start();
    QTest::keyClicks(w.memToday, QStringLiteral("ab"));
    QInputMethodEvent composing(QStringLiteral("にっき"), {});
    QApplication::sendEvent(w.memToday, &composing);
    QCOMPARE(w.memToday->text(), QStringLiteral("ab"));
    QVERIFY(w.close());
    QCOMPARE(savedFile(f.entry(2026, 12, 8)), sjis(QStringLiteral("abにっき")));
}

void tst_MainForm::refusesCharactersThatCannotBeSaved()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    TfrmMain &w = f.start();
    QKeyEvent emoji(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("\U0001F600"));
    QApplication::sendEvent(w.memToday, &emoji);
    QGuiApplication::clipboard()->setText(QStringLiteral("aé😀b"));
    w.memToday->paste();
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("日本\U0001F600語"));
    QApplication::sendEvent(w.memToday, &commit);
    QCOMPARE(w.memToday->text(), QStringLiteral("ab日本語"));

    // What an input method types as a wave dash or a minus sign is kept in the code page's form.
    w.memToday->clear();
    QInputMethodEvent symbols;
    symbols.setCommitString(QStringLiteral("10\u301C20\u2212"));
    QApplication::sendEvent(w.memToday, &symbols);
    QCOMPARE(w.memToday->text(), QStringLiteral("10\uFF5E20\uFF0D"));
    QCOMPARE(Cp932::encode(w.memToday->text()),
        QByteArray("10\x81\x60"
                   "20\x81\x7c"));
}

void tst_MainForm::settingsCheckOnFirstKeystroke()
{
    DiaryFixture f;
    QVERIFY(f.writeSettings(QFile::encodeName(f.diary + QStringLiteral("/gone"))));
    TfrmMain &w = f.start();
    QCOMPARE(f.prompter.modalRuns, 0); // only emptiness is tested at start
    QTest::keyClick(w.memToday, Qt::Key_A);
    QCOMPARE(f.prompter.modalRuns, 1);
}

QTEST_MAIN(tst_MainForm)
void tst_MainForm::pageFollowsChangesMadeElsewhere()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2026, 12, 8, "mine"));
    QVERIFY(f.writeEntry(2025, 12, 8, "last year"));
    TfrmMain &w = f.start();
    QSignalSpy loads(w.memToday, &DiaryPane::changed);
    // As a synchroniser delivers: a new file renamed over the entry, a file appearing, one going.
    WRITE_FILE(f.diary + u"/2026/.incoming"_qs, "from the laptop");
    QVERIFY(::rename(QFile::encodeName(f.diary + u"/2026/.incoming"_qs).constData(),
                QFile::encodeName(f.entry(2026, 12, 8)).constData())
        == 0);
    QVERIFY(f.writeEntry(2024, 12, 8, "two years ago"));
    QVERIFY(QFile::remove(f.entry(2025, 12, 8)));
    QTRY_COMPARE_WITH_TIMEOUT(w.memToday->text(), u"from the laptop"_qs, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w.mem2YearsAgo->text(), u"two years ago"_qs, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w.mem1YearAgo->text(), QString(), 5000);
    QCOMPARE(loads.count(), 1); // a reload is a load: one notification, and nothing written
    QCOMPARE(savedFile(f.entry(2026, 12, 8)), QByteArray("from the laptop"));
    // Watches follow a file replaced once more.
    QVERIFY(f.writeEntry(2026, 12, 8, "again"));
    QTRY_COMPARE_WITH_TIMEOUT(w.memToday->text(), u"again"_qs, 5000);
    QCOMPARE(QDir(f.diary + u"/2026"_qs).entryList(QDir::Files), QStringList {u"1208.txt"_qs});
}

void tst_MainForm::calendarMarksFollowTheEntries()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2026, 12, 3, "this year"));
    QVERIFY(f.writeEntry(2024, 12, 5, "two years ago"));
    QVERIFY(f.writeEntry(2022, 12, 7, "four years ago"));
    QVERIFY(f.writeEntry(2021, 12, 9, "five years ago"));
    QVERIFY(f.writeEntry(2025, 11, 3, "last November"));
    QVERIFY(writeFile(f.diary + u"/2026/1204.conflict-20261204-101500.txt"_qs, "kept copy"));
    TfrmMain &w = f.start();
    TCalendar *calendar = w.Calendar1;
    QCOMPARE(calendar->dayMark(3), DayMark::Entry);
    QCOMPARE(calendar->dayMark(4), DayMark::None);
    QCOMPARE(calendar->dayMark(5), DayMark::EarlierEntry);
    QCOMPARE(calendar->dayMark(7), DayMark::EarlierEntry);
    QCOMPARE(calendar->dayMark(9), DayMark::None);
    QCOMPARE(calendar->dayMark(8), DayMark::None);
    QCOMPARE(calendar->spokenValue(), u"2026年12月8日"_qs);

    // A save that creates the day's entry marks it while it is still on its way.
    QTest::keyClicks(w.memToday, u"today"_qs);
    w.memTodayExit();
    QCOMPARE(calendar->dayMark(8), DayMark::Entry);
    QCOMPARE(calendar->spokenValue(), u"2026年12月8日 日記あり"_qs);

    w.btnPreMonth->click();
    QCOMPARE(calendar->dayMark(3), DayMark::EarlierEntry);
    QCOMPARE(calendar->dayMark(8), DayMark::None);
    w.btnNextMonth->click();
    QCOMPARE(calendar->dayMark(8), DayMark::Entry);

    // Another computer's entries, arriving and going.
    QVERIFY(f.writeEntry(2026, 12, 10, "from the laptop"));
    QVERIFY(QFile::remove(f.entry(2026, 12, 3)));
    QTRY_COMPARE_WITH_TIMEOUT(calendar->dayMark(10), DayMark::Entry, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(calendar->dayMark(3), DayMark::None, 5000);

    // Another diary folder has other days.
    const QString other = f.root.filePath(u"other"_qs);
    QVERIFY(writeFile(entryPathIn(other, 2026, 12, 20), "elsewhere"));
    f.prompter.modalAnswers << [&](QDialog &) {
        return int(
            f.writeSettings(QFile::encodeName(other)) ? QDialog::Accepted : QDialog::Rejected);
    };
    w.EditSettings->trigger();
    QCOMPARE(calendar->dayMark(20), DayMark::Entry);
    QCOMPARE(calendar->dayMark(10), DayMark::None);
    QCOMPARE(calendar->dayMark(8), DayMark::None);
    QVERIFY(w.close());
}

void tst_MainForm::unsavedTypingKeepsTheOtherVersionBesideIt_data()
{
    QTest::addColumn<bool>("terminate");
    QTest::newRow("closed by the person") << false;
    QTest::newRow("termination request") << true;
}

void tst_MainForm::unsavedTypingKeepsTheOtherVersionBesideIt()
{
    QFETCH(bool, terminate);
    DiaryFixture f;
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2026, 12, 8, "mine"));
    TfrmMain &w = f.start();
    w.memToday->moveCursor(QTextCursor::End);
    QTest::keyClicks(w.memToday, QStringLiteral(" typed"));
    QVERIFY(f.writeEntry(2026, 12, 8, "theirs"));
    w.page().followChangesElsewhere();
    QCOMPARE(w.memToday->text(), u"mine typed"_qs);
    if (terminate)
        w.closeForTermination();
    else
        QVERIFY(w.close());
    QCOMPARE(savedFile(f.entry(2026, 12, 8)), QByteArray("mine typed"));
    const QStringList kept = QDir(f.diary + u"/2026"_qs).entryList({u"1208.conflict-*.txt"_qs});
    QCOMPARE(kept.size(), 1);
    QCOMPARE(savedFile(f.diary + u"/2026/"_qs + kept[0]), QByteArray("theirs"));
    QCOMPARE(f.prompter.messages.size(), terminate ? 0 : 1);
    if (!terminate) {
        QCOMPARE(f.prompter.messages[0].kind, u"information"_qs);
        QVERIFY(f.prompter.messages[0].text.contains(kept[0]));
    }
}

// A truncated file ends in a lone lead byte, which would join the first character typed after
// it: the entry holds the typing as typed, the file as it was is kept beside it, and the person
// is told where.
void tst_MainForm::typingAfterAStrayLeadByteReadsBackAsTyped()
{
    DiaryFixture f;
    QVERIFY(f.useDiary());
    QVERIFY(f.writeEntry(2026, 12, 8, QByteArray("abc\x82")));
    TfrmMain &w = f.start();
    w.memToday->moveCursor(QTextCursor::End);
    QInputMethodEvent typed;
    typed.setCommitString(u"あいう"_qs);
    QApplication::sendEvent(w.memToday, &typed);
    QVERIFY(w.close());
    QCOMPARE(savedFile(f.entry(2026, 12, 8)), sjis(u"abcあいう"_qs));
    const QStringList kept = QDir(f.diary + u"/2026"_qs).entryList({u"1208.conflict-*.txt"_qs});
    QCOMPARE(kept.size(), 1);
    QCOMPARE(readFile(f.diary + u"/2026/"_qs + kept[0]), QByteArray("abc\x82"));
    QCOMPARE(f.prompter.messages.size(), 1);
    QVERIFY(f.prompter.messages[0].text.contains(kept[0]));
    QVERIFY(f.prompter.messages[0].text.contains(u"コードページ 932 の文字ではないバイト"_qs));
}

// The input method confirms a word after the page was told of another version: the word lands
// where it was typed, and the other version is kept beside the entry.
void tst_MainForm::compositionIsNotReplacedByAReload()
{
    DiaryFixture f;
    QVERIFY(f.useDiary("99"));
    QVERIFY(f.writeEntry(2026, 12, 8, "mine "));
    TfrmMain &w = f.start();
    w.memToday->moveCursor(QTextCursor::End);
    QInputMethodEvent composing(u"にっき"_qs, {});
    QApplication::sendEvent(w.memToday, &composing);
    QVERIFY(w.memToday->isComposing());
    QVERIFY(f.writeEntry(2026, 12, 8, "theirs"));
    w.page().followChangesElsewhere();
    QCOMPARE(w.memToday->text(), u"mine "_qs);
    QInputMethodEvent confirm;
    confirm.setCommitString(u"日記"_qs);
    QApplication::sendEvent(w.memToday, &confirm);
    QVERIFY(w.close());
    QCOMPARE(savedFile(f.entry(2026, 12, 8)), sjis(u"mine 日記"_qs));
    const QStringList kept = QDir(f.diary + u"/2026"_qs).entryList({u"1208.conflict-*.txt"_qs});
    QCOMPARE(kept.size(), 1);
    QCOMPARE(readFile(f.diary + u"/2026/"_qs + kept[0]), "theirs");
}

void tst_MainForm::anotherFolderTakesTheTypingOnlyWhenTheOldOneIsUnusable_data()
{
    QTest::addColumn<bool>("unusable");
    QTest::newRow("settings command") << false;
    QTest::newRow("old folder gone") << true;
}

// Typing goes to the folder it was written in while that one is usable; after the dialog the
// page shows the chosen folder's entries.
void tst_MainForm::anotherFolderTakesTheTypingOnlyWhenTheOldOneIsUnusable()
{
    QFETCH(bool, unusable);
    DiaryFixture f;
    const QString other = f.root.filePath(u"other"_qs);
    QVERIFY(f.useDiary("99"));
    QVERIFY(f.writeEntry(2026, 12, 8, "first "));
    QVERIFY(writeFile(entryPathIn(other, 2026, 12, 8), "other today"));
    QVERIFY(writeFile(entryPathIn(other, 2025, 12, 8), "other last year"));
    f.prompter.modalAnswers << [&](QDialog &) {
        return int(f.writeSettings(QFile::encodeName(other), "99") ? QDialog::Accepted
                                                                   : QDialog::Rejected);
    };
    TfrmMain &w = f.start();
    w.memToday->moveCursor(QTextCursor::End);
    QTest::keyClicks(w.memToday, u"typed"_qs);
    if (unusable) {
        QVERIFY(QDir(f.diary).removeRecursively());
        QTest::keyClicks(w.memToday, u"!"_qs); // the settings check opens the dialog
    } else
        w.EditSettings->trigger();
    QCOMPARE(f.prompter.modalRuns, 1);
    QCOMPARE(w.mem1YearAgo->text(), u"other last year"_qs);
    QVERIFY(w.close());
    QCOMPARE(f.prompter.messages.size(), unusable ? 1 : 0); // the kept version's notice
    const QStringList kept = QDir(other + u"/2026"_qs).entryList({u"1208.conflict-*.txt"_qs});
    if (unusable) {
        QCOMPARE(savedFile(entryPathIn(other, 2026, 12, 8)), "first typed!");
        QCOMPARE(kept.size(), 1);
        QCOMPARE(readFile(other + u"/2026/"_qs + kept[0]), "other today");
    } else {
        QCOMPARE(savedFile(f.entry(2026, 12, 8)), "first typed");
        QCOMPARE(w.memToday->text(), u"other today"_qs);
        QCOMPARE(readFile(entryPathIn(other, 2026, 12, 8)), "other today");
        QCOMPARE(kept.size(), 0);
    }
}

#include "tst_mainform.moc"
