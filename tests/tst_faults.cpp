#include <QTest>

#include "DiaryFixture.h"
#include "DiskSnapshot.h"
#include "storage/DiaryText.h"
#include "storage/EntryFiles.h"
#include "storage/Exception.h"
#include "storage/ProfileFile.h"

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
    void cleanup() { f.reset(); }

    void failedEntrySaveKeepsOldFileAndText_data() { steps(); }
    void failedEntrySaveKeepsOldFileAndText();
    void failedSettingsWriteKeepsOldFile_data() { steps(); }
    void failedSettingsWriteKeepsOldFile();
    void failedExportKeepsOldFile_data() { steps(); }
    void failedExportKeepsOldFile();
    void fullDiskKeepsEveryOldFile();

private:
    static void steps();

    std::unique_ptr<DiaryFixture> f;
};

void tst_Faults::init()
{
    f = std::make_unique<DiaryFixture>();
    f->useDiary("99");
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
    f->writeEntry(2026, 12, 8, "old entry\r\n");
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
    QCOMPARE(DiaryFixture::readFile(path), diaryTextToBytes(text));
}

void tst_Faults::failedSettingsWriteKeepsOldFile()
{
    QFETCH(int, step);
    QFETCH(int, occurrence);
    const QString path = f->root.filePath(u"Orlune.ini"_qs);
    const QByteArray old = "; " + QByteArray(150 * 1024, 'c') + "\r\n[Data]\r\nDir=/old\r\n";
    DiaryFixture::writeFile(path, old);
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
    DiaryFixture::writeFile(out, "old export\r\n");
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
    DiaryFixture::writeFile(entry, "old entry\r\n");
    DiaryFixture::writeFile(ini, "; " + QByteArray(100 * 1024, 'c') + "\r\n[Data]\r\nDir=/old\r\n");
    DiaryFixture::writeFile(out, "old export\r\n");
    struct statvfs fs
    {
    };
    QCOMPARE(::statvfs(point.constData(), &fs), 0);
    // Leave less room than any of the new files needs.
    DiaryFixture::writeFile(
        root + u"/filler"_qs, QByteArray(qsizetype(fs.f_bavail * fs.f_frsize) - 32 * 1024, 'f'));
    const auto before = diskSnapshot(root);

    QVERIFY_THROWS_EXCEPTION(Exception, saveCurrentEntry(largeText(), 2026, 12, 8));
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

QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"
