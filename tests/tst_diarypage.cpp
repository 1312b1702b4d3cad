#include "FakePane.h"
#include "TestFiles.h"
#include "storage/DiaryPage.h"
#include "storage/EntryWriter.h"
#include "storage/Exception.h"
#include "storage/FileFaults.h"
#include "storage/PaneCapacity.h"
#include "storage/RescueFiles.h"
#include "storage/Settings.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>

// The page's rules on real files, with plain panes and the real entry writer, no window.
class tst_DiaryPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void failedSaveIsRetriedInTheFolderItWasWrittenFor_data();
    void failedSaveIsRetriedInTheFolderItWasWrittenFor();
    void readOnlyEntryTakesNoTyping();
    void danglingLinkEntryIsSavedThroughTheLink();
    void danglingLinkIntoAMissingFolderTakesNoTyping();
    void dayThatCannotBeLoadedTakesNoTyping();
    void textsNotOnDiskAndEntryDaysFollowTheSaves();
    void loadingNeverSavesFromThePanesNotification();

private:
    // Typing as the window hands it over: the pane changes, then the focus leaves it.
    void typeAndLeave(const QString &text)
    {
        m_panes[0].setText(text);
        m_page->leave();
    }
    QString entry(const QString &diary, const QDate &date) const
    {
        return entryPathIn(diary, date);
    }
    QStringList rescueFiles() const { return QDir(rescueFolderPath()).entryList(QDir::Files); }

    EntryWriter m_writer;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_diary;
    std::array<FakePane, DiaryPage::kPaneCount> m_panes;
    std::unique_ptr<DiaryPage> m_page;
    const QDate m_day {2026, 12, 8};
};

void tst_DiaryPage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir->filePath(u"data"_qs)));
    m_diary = m_dir->filePath(u"diary"_qs);
    QVERIFY(QDir().mkpath(m_diary));
    DiaryDir = m_diary;
    CharsToSave = 99;
    for (FakePane &pane : m_panes)
        pane = FakePane();
    m_page = std::make_unique<DiaryPage>(std::array<TextPane *, DiaryPage::kPaneCount> {
        &m_panes[0], &m_panes[1], &m_panes[2], &m_panes[3], &m_panes[4]});
}

void tst_DiaryPage::cleanup()
{
    m_page.reset();
    EntryWriter::instance().takeOutcomes();
    FileFaults::setHook({});
    DiaryDir.clear();
    CharsToSave = kDefaultCharsToSave;
    qunsetenv("XDG_DATA_HOME");
}

void tst_DiaryPage::failedSaveIsRetriedInTheFolderItWasWrittenFor_data()
{
    QTest::addColumn<bool>("terminate");
    QTest::newRow("close") << false;
    QTest::newRow("termination") << true;
}

// The same day's entry in another diary folder is another file: a save that failed in the first
// folder is not "beside" the typing in the second, and the first folder takes it again.
void tst_DiaryPage::failedSaveIsRetriedInTheFolderItWasWrittenFor()
{
    QFETCH(bool, terminate);
    const QString other = m_dir->filePath(u"other"_qs);
    QVERIFY(QDir().mkpath(other));
    const QString first = entry(m_diary, m_day);
    auto failed = std::make_shared<std::atomic<bool>>(false);
    FileFaults::setHook([first, failed](FileFaults::Step step, const QString &path) {
        return step == FileFaults::Step::Sync && path == first && !failed->exchange(true);
    });
    m_page->loadDate(m_day);
    typeAndLeave(u"written for the first folder"_qs);
    EntryWriter::instance().waitForAll();
    QVERIFY(failed->load());

    DiaryDir = other;
    m_page->folderChanged();
    QCOMPARE(m_panes[0].text(), QString());
    m_panes[0].setText(u"typed in the second"_qs);
    if (terminate) {
        const QList<DiaryPage::Rescue> rescued = m_page->terminate();
        QCOMPARE(rescued.size(), 0);
    } else {
        QVERIFY_THROWS_NO_EXCEPTION(m_page->close());
    }
    QCOMPARE(readFile(first), "written for the first folder");
    QCOMPARE(readFile(entry(other, m_day)), "typed in the second");
    QCOMPARE(rescueFiles(), QStringList());
}

// An entry whose owner-write bit is clear is never replaced, so its pane takes no typing that
// would be dropped at the close.
void tst_DiaryPage::readOnlyEntryTakesNoTyping()
{
    const QString path = entry(m_diary, m_day);
    WRITE_FILE(path, "kept as it is");
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    m_page->loadDate(m_day);
    QCOMPARE(m_panes[0].text(), u"kept as it is"_qs);
    QVERIFY(!m_panes[0].typingAllowed);
    QVERIFY(!m_page->typingAllowed());

    m_page->loadDate(m_day.addDays(1));
    QVERIFY(m_panes[0].typingAllowed);
    typeAndLeave(u"the next day"_qs);
    m_page->close();
    QCOMPARE(readFile(entry(m_diary, m_day.addDays(1))), "the next day");
}

// A diary moved elsewhere and linked back: the link's file is made where the link says.
void tst_DiaryPage::danglingLinkEntryIsSavedThroughTheLink()
{
    const QString path = entry(m_diary, m_day);
    const QString target = m_dir->filePath(u"elsewhere/1208.txt"_qs);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(QDir().mkpath(QFileInfo(target).path()));
    QVERIFY(QFile::link(target, path));
    m_page->loadDate(m_day);
    QVERIFY(m_panes[0].typingAllowed);
    typeAndLeave(u"through the link"_qs);
    QVERIFY_THROWS_NO_EXCEPTION(m_page->close());
    QVERIFY(QFileInfo(path).isSymLink());
    QCOMPARE(readFile(target), "through the link");
    QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::System),
        QStringList {u"1208.txt"_qs});
}

void tst_DiaryPage::danglingLinkIntoAMissingFolderTakesNoTyping()
{
    const QString path = entry(m_diary, m_day);
    const QString target = m_dir->filePath(u"gone/1208.txt"_qs);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(QFile::link(target, path));
    m_page->loadDate(m_day);
    QVERIFY(!m_panes[0].typingAllowed);
    QVERIFY(m_page->typingRefusal().contains(target));
    QVERIFY_THROWS_NO_EXCEPTION(m_page->close());
    QVERIFY(!QFileInfo::exists(QFileInfo(target).path()));
}

// An entry over the pane's capacity: nothing typed can be stranded under that day, the other
// panes load, and the file stays where it is.
void tst_DiaryPage::dayThatCannotBeLoadedTakesNoTyping()
{
    const QString big = entry(m_diary, m_day);
    WRITE_FILE(big, "");
    QVERIFY(QFile::resize(big, kPaneCapacityBytes + 1));
    WRITE_FILE(entry(m_diary, m_day.addYears(-1)), "last year");
    QVERIFY_THROWS_EXCEPTION(Exception, m_page->loadDate(m_day));
    QCOMPARE(m_panes[0].text(), QString());
    QVERIFY(!m_panes[0].typingAllowed);
    QCOMPARE(m_panes[1].text(), u"last year"_qs);
    typeAndLeave(u"stranded"_qs);
    QVERIFY_THROWS_NO_EXCEPTION(m_page->close());
    QCOMPARE(QFileInfo(big).size(), kPaneCapacityBytes + 1);
}

void tst_DiaryPage::textsNotOnDiskAndEntryDaysFollowTheSaves()
{
    using Kind = DiaryPage::TextNotOnDisk::Kind;
    QSignalSpy days(m_page.get(), &DiaryPage::entryDaysChanged);
    m_page->loadDate(m_day);
    m_panes[0].setText(u"typing"_qs);
    QList<DiaryPage::TextNotOnDisk> texts = m_page->textsNotOnDisk();
    QCOMPARE(texts.size(), 1);
    QCOMPARE(texts[0].kind, Kind::Typing);
    QCOMPARE(texts[0].entryPath, entry(m_diary, m_day));
    QCOMPARE(texts[0].folder, m_diary);

    const QString path = entry(m_diary, m_day);
    FileFaults::setHook([path](FileFaults::Step step, const QString &at) {
        return step == FileFaults::Step::Sync && at == path;
    });
    days.clear();
    m_page->leave();
    QCOMPARE(days.count(), 1);
    texts = m_page->textsNotOnDisk();
    QCOMPARE(texts.size(), 1);
    QCOMPARE(texts[0].kind, Kind::Pending);
    QCOMPARE(texts[0].text, u"typing"_qs);

    // The failure makes the text typing again, saved under its day as the page moves on; that
    // save fails too, and stays the day's failed save.
    EntryWriter::instance().waitForAll();
    days.clear();
    QVERIFY_THROWS_EXCEPTION(Exception, m_page->loadDate(m_day.addDays(1)));
    QVERIFY(days.count() >= 1);
    EntryWriter::instance().waitForAll();
    QVERIFY_THROWS_EXCEPTION(Exception, m_page->takeWriterOutcomes());
    texts = m_page->textsNotOnDisk();
    QCOMPARE(texts.size(), 1);
    QCOMPARE(texts[0].kind, Kind::Failed);
    QCOMPARE(texts[0].date, m_day);
    QCOMPARE(texts[0].text, u"typing"_qs);

    FileFaults::setHook({});
    m_page->close();
    QVERIFY(m_page->textsNotOnDisk().isEmpty());
    QCOMPARE(readFile(path), "typing");
}

// The window saves from pane 0's change notification; a load raises it too, and writes nothing.
void tst_DiaryPage::loadingNeverSavesFromThePanesNotification()
{
    CharsToSave = 1;
    const QString path = entry(m_diary, m_day);
    WRITE_FILE(path, "on disk");
    m_panes[0].onChange = [this] {
        m_page->typed();
        m_page->leave();
    };
    m_page->loadDate(m_day);
    QCOMPARE(m_panes[0].changes, 1);
    EntryWriter::instance().waitForAll();
    QCOMPARE(readFile(path), "on disk");
    QVERIFY(m_page->textsNotOnDisk().isEmpty());
    m_panes[0].setText(u"typed"_qs); // outside a load the same notification saves
    EntryWriter::instance().waitForAll();
    QCOMPARE(readFile(path), "typed");
}

QTEST_GUILESS_MAIN(tst_DiaryPage)
#include "tst_diarypage.moc"
