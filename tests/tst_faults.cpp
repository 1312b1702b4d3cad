#include "DiaryFixture.h"
#include "DiskSnapshot.h"
#include "SavedNow.h"
#include "WindowsLeft.h"
#include "storage/DiaryText.h"
#include "storage/EntryFiles.h"
#include "storage/Exception.h"
#include "storage/ProfileFile.h"

#include <QTest>
#include <QThread>

#include <memory>
#include <sys/mount.h>
#include <sys/statvfs.h>

using FileFaults::Step;

namespace {

// Over 128 KiB, so the file layer writes it in three chunks.
QString largeText()
{
    QString text
        = QString(u"今日の日記。書き込みの途中で失敗しても前の文は残る。\n"_qs).repeated(3000);
    while (diaryTextByteLength(text) % 99 == 0)
        text += u'x';
    return text;
}

// Fails the given occurrence of one step for one path; counts what the file layer asked.
std::shared_ptr<int> failAt(Step step, int occurrence, const QString &path)
{
    auto asked = std::make_shared<int>(0);
    FileFaults::setHook([=](Step s, const QString &p) {
        if (s != step || p != path)
            return false;
        return ++*asked == occurrence;
    });
    return asked;
}

// Every flush of the entry made slow, as on a USB stick.
void slowFlushOf(const QString &path, int ms)
{
    FileFaults::setHook([=](Step step, const QString &p) {
        if (step == Step::Sync && p == path)
            QThread::msleep(ms);
        return false;
    });
}

QStringList temporariesIn(const QString &folder)
{
    return QDir(folder).entryList({u".*.tmp"_qs}, QDir::Files | QDir::Hidden);
}

const QString kCreateMessage = u"ファイル %1 を作成できません"_qs;
const QString kWriteMessage = u"ストリームへの書き込みエラー"_qs;

} // namespace

// Every step of a file replacement fails in turn, for an entry, the settings file and an export:
// each time the user's message is raised, the old file is intact and nothing else changed.
class tst_Faults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup()
    {
        f.reset();
        VERIFY_NO_WINDOW_LEFT_OPEN();
    }

    void failedEntrySaveKeepsOldFileAndText_data() { steps(); }
    void failedEntrySaveKeepsOldFileAndText();
    void failedSettingsWriteKeepsOldFile_data() { steps(); }
    void failedSettingsWriteKeepsOldFile();
    void failedExportKeepsOldFile_data() { steps(); }
    void failedExportKeepsOldFile();
    void fullDiskKeepsEveryOldFile();
    void writerFailureIsReportedOnceAndNextSaveSucceeds_data();
    void writerFailureIsReportedOnceAndNextSaveSucceeds();
    void burstOfSavesWithSlowFlushEndsWithTheLastText();
    void closeWaitsForSavesInFlight();

private:
    static void steps();

    std::unique_ptr<DiaryFixture> f;
};

void tst_Faults::init()
{
    f = std::make_unique<DiaryFixture>();
    QVERIFY(f->useDiary("99"));
}

void tst_Faults::steps()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<bool>("createKind");
    QTest::newRow("create") << int(Step::Create) << 1 << true;
    QTest::newRow("first write") << int(Step::Write) << 1 << false;
    QTest::newRow("second write") << int(Step::Write) << 2 << false;
    QTest::newRow("last write") << int(Step::Write) << 3 << false;
    QTest::newRow("sync") << int(Step::Sync) << 1 << false;
    QTest::newRow("flush") << int(Step::Flush) << 1 << false;
    QTest::newRow("rename") << int(Step::Rename) << 1 << true;
}

void tst_Faults::failedEntrySaveKeepsOldFileAndText()
{
    QFETCH(int, step);
    QFETCH(int, occurrence);
    QFETCH(bool, createKind);
    QVERIFY(f->writeEntry(2026, 12, 8, "old entry\r\n"));
    TfrmMain &w = f->start();
    const QString text = largeText();
    w.memToday->setText(text);
    const QString path = f->entry(2026, 12, 8);
    const auto before = diskSnapshot(f->root.path());

    const auto asked = failAt(Step(step), occurrence, path);
    w.close();
    QCOMPARE(*asked, occurrence);
    QVERIFY(w.isVisible());
    QCOMPARE(w.memToday->text(), text);
    QCOMPARE(f->prompter.messages.size(), 1);
    QCOMPARE(f->prompter.messages[0].text,
        (createKind ? kCreateMessage.arg(path) : kWriteMessage) + u'.');
    const auto after = diskSnapshot(f->root.path());
    QVERIFY2(after == before, qPrintable(snapshotDifference(before, after)));

    // The next save writes the text whole.
    FileFaults::setHook({});
    w.close();
    QVERIFY(!w.isVisible());
    QCOMPARE(savedFile(path), diaryTextToBytes(text));
}

void tst_Faults::failedSettingsWriteKeepsOldFile()
{
    QFETCH(int, step);
    QFETCH(int, occurrence);
    const QString path = f->root.filePath(u"Orlune.ini"_qs);
    const QByteArray old = "; " + QByteArray(150 * 1024, 'c') + "\r\n[Data]\r\nDir=/old\r\n";
    WRITE_FILE(path, old);
    const auto before = diskSnapshot(f->root.path());

    const auto asked = failAt(Step(step), occurrence, path);
    ProfileFile file(path);
    try {
        file.writeString(u"Data"_qs, u"Dir"_qs, u"/new"_qs);
        QFAIL("the write succeeded");
    } catch (const Exception &e) {
        QCOMPARE(e.message(), u"%1 に書き込めません"_qs.arg(path));
    }
    QCOMPARE(*asked, occurrence);
    // The operation's later write is not attempted.
    QVERIFY_THROWS_EXCEPTION(
        Exception, file.writeInteger(u"Data"_qs, u"NumberOfCharsToSave"_qs, 30));
    const auto after = diskSnapshot(f->root.path());
    QVERIFY2(after == before, qPrintable(snapshotDifference(before, after)));
}

void tst_Faults::failedExportKeepsOldFile()
{
    QFETCH(int, step);
    QFETCH(int, occurrence);
    QFETCH(bool, createKind);
    TfrmMain &w = f->start();
    w.memToday->setText(largeText());
    const QString out = f->root.filePath(u"export.txt"_qs);
    WRITE_FILE(out, "old export\r\n");
    const auto before = diskSnapshot(f->root.path());

    const auto asked = failAt(Step(step), occurrence, out);
    f->prompter.fileAnswers << out;
    w.FileSaveAs1->trigger();
    QCOMPARE(*asked, occurrence);
    QCOMPARE(f->prompter.messages.size(), 1);
    QCOMPARE(f->prompter.messages[0].kind, u"error"_qs);
    QCOMPARE(f->prompter.messages[0].text,
        (createKind ? kCreateMessage.arg(out) : kWriteMessage) + u'.');
    const auto after = diskSnapshot(f->root.path());
    QVERIFY2(after == before, qPrintable(snapshotDifference(before, after)));
}

// The real thing where the machine lets us mount: a small file system filled to the brim.
void tst_Faults::fullDiskKeepsEveryOldFile()
{
    QTemporaryDir mountPoint;
    const QByteArray point = QFile::encodeName(mountPoint.path());
    if (::mount("tmpfs", point.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=512k,mode=0700")
        != 0)
        QSKIP("mounting a small tmpfs is not allowed here");
    const auto unmount = qScopeGuard([&] { ::umount2(point.constData(), MNT_DETACH); });

    const QString root = mountPoint.path();
    DiaryDir = root + u"/diary"_qs;
    QVERIFY(QDir().mkpath(yearFolderPath(2026)));
    const QString entry = entryFilePath(2026, 12, 8);
    const QString ini = root + u"/Orlune.ini"_qs;
    const QString out = root + u"/export.txt"_qs;
    WRITE_FILE(entry, "old entry\r\n");
    WRITE_FILE(ini, "; " + QByteArray(100 * 1024, 'c') + "\r\n[Data]\r\nDir=/old\r\n");
    WRITE_FILE(out, "old export\r\n");
    struct statvfs fs
    {
    };
    QCOMPARE(::statvfs(point.constData(), &fs), 0);
    // Leave less room than any of the new files needs.
    WRITE_FILE(
        root + u"/filler"_qs, QByteArray(qsizetype(fs.f_bavail * fs.f_frsize) - 32 * 1024, 'f'));
    const auto before = diskSnapshot(root);

    QVERIFY_THROWS_EXCEPTION(Exception, saveNow(largeText(), 2026, 12, 8));
    try {
        writeTextFile(out, largeText());
        QFAIL("the export succeeded");
    } catch (const Exception &e) {
        QCOMPARE(e.message(), kWriteMessage);
    }
    try {
        ProfileFile(ini).writeString(u"Data"_qs, u"Dir"_qs, u"/new"_qs);
        QFAIL("the settings write succeeded");
    } catch (const Exception &e) {
        QCOMPARE(e.message(), u"%1 に書き込めません"_qs.arg(ini));
    }
    const auto after = diskSnapshot(root);
    QVERIFY2(after == before, qPrintable(snapshotDifference(before, after)));
    DiaryDir.clear();
}

void tst_Faults::writerFailureIsReportedOnceAndNextSaveSucceeds_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("foreign");
    QTest::newRow("flush") << int(Step::Sync) << false;
    QTest::newRow("rename") << int(Step::Rename) << false;
    QTest::newRow("keeping another writer's version") << int(Step::Create) << true;
}

// A save that fails on the writer's thread is reported once, on the GUI thread, while the person
// types on; the entry is as it was, and the next save writes it.
void tst_Faults::writerFailureIsReportedOnceAndNextSaveSucceeds()
{
    QFETCH(int, step);
    QFETCH(bool, foreign);
    QVERIFY(f->useDiary("20"));
    QVERIFY(f->writeEntry(2026, 12, 8, "old entry\r\n"));
    TfrmMain &w = f->start();
    const QString path = f->entry(2026, 12, 8);
    if (foreign)
        QVERIFY(f->writeEntry(2026, 12, 8, "theirs"));
    const QByteArray before = readFile(path);
    const QString failing = foreign ? f->diary + u"/2026/1208.conflict-"_qs : path;
    auto failures = std::make_shared<int>(0);
    FileFaults::setHook([=](Step s, const QString &p) {
        return s == Step(step) && p.startsWith(failing) && ++*failures == 1;
    });

    w.memToday->moveCursor(QTextCursor::End);
    QTest::keyClicks(w.memToday, u"123456789"_qs); // 20 bytes: saves
    QTRY_COMPARE_WITH_TIMEOUT(f->prompter.messages.size(), 1, 5000);
    const QString message = f->prompter.messages[0].text;
    QVERIFY2(step == int(Step::Sync) ? message == kWriteMessage + u'.'
                                     : message.startsWith(u"ファイル "_qs + failing),
        qPrintable(message));
    QCOMPARE(readFile(path), before);
    QCOMPARE(temporariesIn(f->diary + u"/2026"_qs), QStringList());
    // That typing is not on disk, so another writer's version does not replace it in the pane.
    QVERIFY(f->writeEntry(2026, 12, 8, "elsewhere"));
    w.page().followChangesElsewhere();
    QCOMPARE(w.memToday->text(), u"old entry\n123456789"_qs);

    QTest::keyClicks(w.memToday, QString(20, u'a'));
    QCOMPARE(savedFile(path), "old entry\r\n123456789" + QByteArray(20, 'a'));
    // and, once the typing pauses, the kept version's notice
    QTRY_COMPARE_WITH_TIMEOUT(f->prompter.messages.size(), 2, 5000);
    QCOMPARE(f->prompter.messages[1].kind, u"information"_qs);
    const QStringList kept = QDir(f->diary + u"/2026"_qs).entryList({u"1208.conflict-*.txt"_qs});
    QCOMPARE(kept.size(), 1);
    QCOMPARE(readFile(f->diary + u"/2026/"_qs + kept[0]), "elsewhere");
}

// Saving keystrokes faster than the disk flushes: saves of the entry are applied in order, so
// the file never goes back to an older text, and it ends with the last one.
void tst_Faults::burstOfSavesWithSlowFlushEndsWithTheLastText()
{
    QVERIFY(f->useDiary("5"));
    TfrmMain &w = f->start();
    const QString path = f->entry(2026, 12, 8);
    const QString folder = f->diary + u"/2026"_qs;
    QDir().mkpath(folder);
    auto lengths = std::make_shared<QList<qint64>>();
    FileFaults::setHook([=](Step step, const QString &p) {
        if (step == Step::Sync && p == path)
            QThread::msleep(1);
        // The folder is flushed right after each rename: what the entry holds now.
        if (step == Step::Sync && p == folder)
            lengths->append(QFileInfo(path).size());
        return false;
    });
    QTest::keyClicks(w.memToday, QString(200, u'x'));
    QVERIFY(w.close());
    QCOMPARE(readFile(path), QByteArray(200, 'x'));
    QVERIFY(!lengths->isEmpty());
    QCOMPARE(lengths->last(), 200);
    QVERIFY2(std::is_sorted(lengths->begin(), lengths->end()),
        qPrintable(QString::number(lengths->size())));
    QCOMPARE(temporariesIn(folder), QStringList());
    qInfo("40 saves asked, %lld put in place", qlonglong(lengths->size()));
}

// The close decides once every save is on disk: what the file holds when it returns is final.
void tst_Faults::closeWaitsForSavesInFlight()
{
    QVERIFY(f->useDiary("20"));
    TfrmMain &w = f->start();
    const QString path = f->entry(2026, 12, 8);
    slowFlushOf(path, 30);
    QTest::keyClicks(w.memToday, QString(45, u'x')); // saves at 20 and 40, then the close's
    QVERIFY(w.close());
    QCOMPARE(readFile(path), QByteArray(45, 'x'));
    QCOMPARE(temporariesIn(f->diary + u"/2026"_qs), QStringList());
    QCOMPARE(f->prompter.messages.size(), 0);
}

QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"
