#include "FakePane.h"
#include "SavedNow.h"
#include "TestFiles.h"
#include "storage/AtomicFile.h"
#include "storage/Cp932.h"
#include "storage/EntryFiles.h"
#include "storage/EntryLedger.h"
#include "storage/EntryListing.h"
#include "storage/EntryWriter.h"
#include "storage/Exception.h"
#include "storage/FileFaults.h"
#include "storage/KeptVersion.h"
#include "storage/Settings.h"

#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct stat statOf(const QString &path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

// False when the time could not be set.
[[nodiscard]] bool setModified(const QString &path, const struct timespec &when)
{
    const struct timespec times[2] = {when, when};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

QString messageOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const Exception &e) {
        return e.message();
    }
    return u"(no error)"_qs;
}

// Another writer's whole-file replace: a temporary beside the file, renamed over it.
[[nodiscard]] bool renameOver(const QString &path, const QByteArray &bytes)
{
    const QString temp = QFileInfo(path).path() + u"/.other-writer"_qs;
    return writeFile(temp, bytes)
        && ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) == 0;
}

// A file held open and locked, as a living writer holds its temporary.
class LockedFile
{
public:
    explicit LockedFile(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
    { }
    ~LockedFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LockedFile(const LockedFile &) = delete;
    LockedFile &operator=(const LockedFile &) = delete;
    bool lock() const { return m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0; }

private:
    int m_fd;
};

// A file in the form Windows writes: CR LF, full-width tilde, circled digit, IBM extension,
// half-width katakana, a user-defined character and a final line break.
const QByteArray kWindowsFile("\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD\x81\x60\x87\x40\r\n"
                              "\xFB\xFC\x8B\xB4\x20\xB1\xB2\xB3 \xF0\x40\r\n"
                              "\r\n");

} // namespace

class tst_EntryFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pathsJoinDiaryFolderYearAndDay_data();
    void pathsJoinDiaryFolderYearAndDay();
    void savesHelloIntoNewPrivateYearFolder();
    void savesCodePage932WithCrLf_data();
    void savesCodePage932WithCrLf();
    void replacedEntryKeepsItsMode();
    void missingDiaryFolderRaisesAndCreatesNothing();
    void emptyDiaryFolderSettingNeverWritesAtRoot();
    void emptyTextLeavesEntryAsItWas();
    void readOnlyEntryIsNeverReplaced();
    void folderWhereEntryShouldBeRaises();
    void fileWhereYearFolderShouldBeRaises();
    void fileRoundTripsByteForByte_data();
    void fileRoundTripsByteForByte();
    void loadsLfOnlyAndSavesCrLf();
    void loadingEqualTextRaisesNoNotification();
    void unopenableFileRaisesAndLeavesPane_data();
    void unopenableFileRaisesAndLeavesPane();
    void oversizedFileIsRefusedWithoutReading_data();
    void oversizedFileIsRefusedWithoutReading();
    void failedWriteLeavesOldEntry_data();
    void failedWriteLeavesOldEntry();
    void unencodableTextIsNeverWritten();
    void nextSaveClearsWhatACrashLeft_data();
    void nextSaveClearsWhatACrashLeft();
    void keepsAnotherWritersVersionBesideTheEntry_data();
    void keepsAnotherWritersVersionBesideTheEntry();
    void ownSavesTouchesAndEqualRewritesAreNoConflict();
    void unchangedTextWritesNothing();
    void keepsAVersionThatArrivesDuringTheSave_data();
    void keepsAVersionThatArrivesDuringTheSave();
    void recordMadeWithinATickIsCheckedByItsBytes();
    void symlinkedEntryIsResolvedOncePerSave();
    void linkArrivingAfterStagingIsNeverReplaced_data();
    void linkArrivingAfterStagingIsNeverReplaced();
    void keptVersionNeverReplacesAFile();
    void loadShowsTheTextOfASaveInFlight_data();
    void loadShowsTheTextOfASaveInFlight();
    void listsEntriesAndKeptCopiesByNameOnly();

private:
    EntryWriter m_writer;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString entry() const { return DiaryDir + u"/2003/0105.txt"_qs; }
    QStringList keptTexts() const;
    QStringList entriesOfYear() const
    {
        return QDir(DiaryDir + u"/2003"_qs)
            .entryList(
                QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot);
    }
};

void tst_EntryFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    DiaryDir = m_dir->filePath(u"diary"_qs);
    QVERIFY(QDir().mkdir(DiaryDir));
}

void tst_EntryFiles::cleanup()
{
    EntryWriter::instance().waitForAll();
    EntryWriter::instance().takeOutcomes();
    FileFaults::setHook({});
    DiaryDir.clear();
}

void tst_EntryFiles::pathsJoinDiaryFolderYearAndDay_data()
{
    QTest::addColumn<QString>("diaryDir");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("path");
    QTest::newRow("5 January") << u"/d/diary"_qs << 2003 << 1 << 5 << u"/d/diary/2003/0105.txt"_qs;
    QTest::newRow("31 December") << u"/d/diary"_qs << 2003 << 12 << 31
                                 << u"/d/diary/2003/1231.txt"_qs;
    QTest::newRow("year 0") << u"/d"_qs << 0 << 2 << 29 << u"/d/0/0229.txt"_qs;
    QTest::newRow("negative year") << u"/d"_qs << -1 << 10 << 1 << u"/d/-1/1001.txt"_qs;
    QTest::newRow("root doubles the separator")
        << u"/"_qs << 2003 << 1 << 5 << u"//2003/0105.txt"_qs;
}

void tst_EntryFiles::pathsJoinDiaryFolderYearAndDay()
{
    QFETCH(QString, diaryDir);
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(QString, path);
    DiaryDir = diaryDir;
    QCOMPARE(entryFilePath(year, month, day), path);
    QCOMPARE(yearFolderPath(year), path.left(path.lastIndexOf(u'/')));
}

void tst_EntryFiles::savesHelloIntoNewPrivateYearFolder()
{
    saveNow(u"Hello"_qs, 2003, 1, 5);
    QVERIFY(QFileInfo(DiaryDir + u"/2003"_qs).isDir());
    QCOMPARE(modeOf(DiaryDir + u"/2003"_qs), mode_t(0700));
    QCOMPARE(readFile(entry()), QByteArray("Hello"));
    QCOMPARE(modeOf(entry()), mode_t(0600));
    QCOMPARE(entriesOfYear(), QStringList {u"0105.txt"_qs});
}

void tst_EntryFiles::savesCodePage932WithCrLf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("two lines, final break")
        << u"一行\n二行\n"_qs << QByteArray("\x88\xEA\x8D\x73\r\n\x93\xF1\x8D\x73\r\n");
    QTest::newRow("two lines, no final break")
        << u"一行\n二行"_qs << QByteArray("\x88\xEA\x8D\x73\r\n\x93\xF1\x8D\x73");
    QTest::newRow("ten full-width characters")
        << u"ａｂｃｄｅｆｇｈｉｊ"_qs
        << QByteArray(
               "\x82\x81\x82\x82\x82\x83\x82\x84\x82\x85\x82\x86\x82\x87\x82\x88\x82\x89\x82\x8A");
}

void tst_EntryFiles::savesCodePage932WithCrLf()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    saveNow(text, 2003, 1, 5);
    QCOMPARE(readFile(entry()), bytes);
}

void tst_EntryFiles::replacedEntryKeepsItsMode()
{
    saveNow(u"old"_qs, 2003, 1, 5);
    QVERIFY(::chmod(QFile::encodeName(entry()).constData(), 0640) == 0);
    saveNow(u"new"_qs, 2003, 1, 5);
    QCOMPARE(readFile(entry()), QByteArray("new"));
    QCOMPARE(modeOf(entry()), mode_t(0640));
}

void tst_EntryFiles::missingDiaryFolderRaisesAndCreatesNothing()
{
    DiaryDir = m_dir->filePath(u"missing/diary"_qs);
    QCOMPARE(messageOf([] { saveNow(u"Hello"_qs, 2003, 1, 5); }), u"Cannot create Directory"_qs);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(u"missing"_qs)));
}

void tst_EntryFiles::emptyDiaryFolderSettingNeverWritesAtRoot()
{
    DiaryDir.clear();
    QVERIFY(!QFileInfo::exists(u"/9876"_qs));
    QCOMPARE(messageOf([] { saveNow(u"Hello"_qs, 9876, 1, 5); }), u"Cannot create Directory"_qs);
    QVERIFY(!QFileInfo::exists(u"/9876"_qs));
}

void tst_EntryFiles::emptyTextLeavesEntryAsItWas()
{
    saveNow(u"kept"_qs, 2003, 1, 5);
    saveNow(QString(), 2003, 1, 5);
    QCOMPARE(readFile(entry()), QByteArray("kept"));
    saveNow(QString(), 2004, 1, 5);
    QVERIFY(!QFileInfo::exists(DiaryDir + u"/2004"_qs));
}

void tst_EntryFiles::readOnlyEntryIsNeverReplaced()
{
    saveNow(u"kept"_qs, 2003, 1, 5);
    QVERIFY(::chmod(QFile::encodeName(entry()).constData(), 0444) == 0);
    QVERIFY(isReadOnlyFile(entry()));
    saveNow(u"lost"_qs, 2003, 1, 5);
    QCOMPARE(readFile(entry()), QByteArray("kept"));
    QCOMPARE(entriesOfYear(), QStringList {u"0105.txt"_qs});
}

void tst_EntryFiles::folderWhereEntryShouldBeRaises()
{
    QVERIFY(QDir().mkpath(entry()));
    QCOMPARE(messageOf([] { saveNow(u"Hello"_qs, 2003, 1, 5); }),
        u"ファイル "_qs + entry() + u" を作成できません"_qs);
    QVERIFY(QFileInfo(entry()).isDir());
}

void tst_EntryFiles::fileWhereYearFolderShouldBeRaises()
{
    WRITE_FILE(DiaryDir + u"/2003"_qs, "not a folder");
    QCOMPARE(messageOf([] { saveNow(u"Hello"_qs, 2003, 1, 5); }), u"Cannot create Directory"_qs);
    QCOMPARE(readFile(DiaryDir + u"/2003"_qs), QByteArray("not a folder"));
}

void tst_EntryFiles::fileRoundTripsByteForByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("written by Windows") << kWindowsFile;
    QTest::newRow("invalid bytes")
        << QByteArrayLiteral("UTF-8 \xE6\x97\xA5\xE8\xA8\x98\r\nzero \0 byte\r\nstray \x82");
    QTest::newRow("lead byte before a break") << QByteArray("\x82\r\n\xFF\xFD\xA0\x80\r\n");
}

void tst_EntryFiles::fileRoundTripsByteForByte()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(QDir().mkdir(DiaryDir + u"/2003"_qs));
    WRITE_FILE(entry(), bytes);
    FakePane pane;
    loadEntryFile(pane, entry());
    QCOMPARE(pane.changes, 1);
    QVERIFY(!pane.text().contains(QChar(0)));
    QVERIFY(QFile::remove(entry()));
    saveNow(pane.text(), 2003, 1, 5);
    QCOMPARE(readFile(entry()), bytes);
}

void tst_EntryFiles::loadsLfOnlyAndSavesCrLf()
{
    QVERIFY(QDir().mkdir(DiaryDir + u"/2003"_qs));
    WRITE_FILE(entry(), "a\nb\rc\n\r");
    FakePane pane;
    loadEntryFile(pane, entry());
    QCOMPARE(pane.text(), u"a\nb\nc\n\n"_qs);
    saveNow(pane.text(), 2003, 1, 5);
    QCOMPARE(readFile(entry()), QByteArray("a\r\nb\r\nc\r\n\r\n"));
}

void tst_EntryFiles::loadingEqualTextRaisesNoNotification()
{
    saveNow(u"同じ\n"_qs, 2003, 1, 5);
    FakePane pane;
    pane.setText(u"同じ\n"_qs);
    pane.changes = 0;
    loadEntryFile(pane, entry());
    QCOMPARE(pane.changes, 0);
    pane.setText(u"違う"_qs);
    pane.changes = 0;
    loadEntryFile(pane, entry());
    QCOMPARE(pane.changes, 1);
    QCOMPARE(pane.text(), u"同じ\n"_qs);
}

void tst_EntryFiles::unopenableFileRaisesAndLeavesPane_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << u"missing"_qs;
    QTest::newRow("a folder") << u"folder"_qs;
    QTest::newRow("a FIFO, which must not hang") << u"fifo"_qs;
    QTest::newRow("refused by the file system") << u"fault"_qs;
}

void tst_EntryFiles::unopenableFileRaisesAndLeavesPane()
{
    QFETCH(QString, kind);
    QVERIFY(QDir().mkdir(DiaryDir + u"/2003"_qs));
    if (kind == u"folder")
        QVERIFY(QDir().mkdir(entry()));
    if (kind == u"fifo")
        QVERIFY(::mkfifo(QFile::encodeName(entry()).constData(), 0600) == 0);
    if (kind == u"fault") {
        WRITE_FILE(entry(), "text");
        FileFaults::setHook([](FileFaults::Step step, const QString &) {
            return step == FileFaults::Step::OpenRead;
        });
    }
    FakePane pane;
    pane.setText(u"before"_qs);
    QCOMPARE(messageOf([&] { loadEntryFile(pane, entry()); }),
        u"ファイル "_qs + entry() + u" は開けません"_qs);
    QCOMPARE(pane.text(), u"before"_qs);
    QCOMPARE(pane.changes, 1);
}

void tst_EntryFiles::oversizedFileIsRefusedWithoutReading_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<char>("fill");
    QTest::newRow("2 GB sparse file") << qint64(2) * 1024 * 1024 * 1024 << '\0';
    QTest::newRow("line breaks that grow past the limit") << kPaneCapacityBytes / 2 + 1 << '\n';
}

void tst_EntryFiles::oversizedFileIsRefusedWithoutReading()
{
    QFETCH(qint64, size);
    QFETCH(char, fill);
    QVERIFY(QDir().mkdir(DiaryDir + u"/2003"_qs));
    QFile file(entry());
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (fill == '\0')
        QVERIFY(file.resize(size));
    else
        QCOMPARE(file.write(QByteArray(size, fill)), size);
    file.close();
    FakePane pane;
    pane.setText(u"before"_qs);
    QCOMPARE(messageOf([&] { loadEntryFile(pane, entry()); }),
        u"文字列の大きさが メモ の制限を越えました"_qs);
    QCOMPARE(pane.text(), u"before"_qs);
}

void tst_EntryFiles::failedWriteLeavesOldEntry_data()
{
    QTest::addColumn<FileFaults::Step>("step");
    QTest::addColumn<int>("failingCall");
    QTest::addColumn<QString>("message");
    const QString writeError = u"ストリームへの書き込みエラー"_qs;
    const QString createError = u"ファイル %1 を作成できません"_qs;
    QTest::newRow("disk full at once") << FileFaults::Step::Write << 1 << writeError;
    QTest::newRow("disk full part-way") << FileFaults::Step::Write << 2 << writeError;
    QTest::newRow("sync fails") << FileFaults::Step::Sync << 1 << writeError;
    QTest::newRow("close fails") << FileFaults::Step::Flush << 1 << writeError;
    QTest::newRow("create fails") << FileFaults::Step::Create << 1 << createError;
    QTest::newRow("rename fails") << FileFaults::Step::Rename << 1 << createError;
}

void tst_EntryFiles::failedWriteLeavesOldEntry()
{
    QFETCH(FileFaults::Step, step);
    QFETCH(int, failingCall);
    QFETCH(QString, message);
    saveNow(u"old entry"_qs, 2003, 1, 5);
    int calls = 0;
    FileFaults::setHook([&](FileFaults::Step s, const QString &path) {
        return s == step && path == entry() && ++calls == failingCall;
    });
    const QString longText(200 * 1024, u'あ'); // several write calls
    QCOMPARE(messageOf([&] { saveNow(longText, 2003, 1, 5); }), message.arg(entry()));
    QCOMPARE(readFile(entry()), QByteArray("old entry"));
    QCOMPARE(entriesOfYear(), QStringList {u"0105.txt"_qs});
    FileFaults::setHook({});
    saveNow(longText, 2003, 1, 5); // the next save writes it
    QCOMPARE(readFile(entry()).size(), longText.size() * 2);
}

void tst_EntryFiles::unencodableTextIsNeverWritten()
{
    saveNow(u"old"_qs, 2003, 1, 5);
    QCOMPARE(
        messageOf([] { saveNow(u"new 😀"_qs, 2003, 1, 5); }), u"ストリームへの書き込みエラー"_qs);
    QCOMPARE(readFile(entry()), QByteArray("old"));
    QCOMPARE(entriesOfYear(), QStringList {u"0105.txt"_qs});
}

QStringList tst_EntryFiles::keptTexts() const
{
    QStringList texts;
    const QStringList names
        = QDir(DiaryDir + u"/2003"_qs).entryList({u"0105.conflict-*.txt"_qs}, QDir::Files);
    for (const QString &name : names)
        texts << QString::fromLatin1(readFile(DiaryDir + u"/2003/"_qs + name));
    texts.sort();
    return texts;
}

void tst_EntryFiles::nextSaveClearsWhatACrashLeft_data()
{
    QTest::addColumn<QByteArray>("leftover");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<bool>("stays");
    QTest::newRow("empty") << QByteArray() << false << QStringList() << false;
    QTest::newRow("the entry's own bytes")
        << QByteArray("entry") << false << QStringList() << false;
    // A crash right after a swap leaves the other writer's version under a temporary name.
    QTest::newRow("another version")
        << QByteArray("swapped out") << false << QStringList {u"swapped out"_qs} << false;
    // A second Orlune on the same diary is writing it.
    QTest::newRow("locked by a living writer")
        << QByteArray("half") << true << QStringList() << true;
}

void tst_EntryFiles::nextSaveClearsWhatACrashLeft()
{
    QFETCH(QByteArray, leftover);
    QFETCH(bool, locked);
    QFETCH(QStringList, kept);
    QFETCH(bool, stays);
    const QString folder = DiaryDir + u"/2003/"_qs;
    WRITE_FILE(entry(), "entry");
    FakePane pane;
    loadEntryFile(pane, entry());
    const QString temporary = folder + u".0105.txt.Ab12Cd.tmp"_qs;
    WRITE_FILE(temporary, leftover);
    WRITE_FILE(folder + u".0106.txt.Ab12Cd.tmp"_qs, "another day's");
    WRITE_FILE(folder + u".hidden"_qs, "not ours");
    const LockedFile writer(temporary);
    if (locked)
        QVERIFY(writer.lock());

    QVERIFY(saveNow(u"new"_qs, 2003, 1, 5).keptFile.isEmpty());
    QCOMPARE(readFile(entry()), QByteArray("new"));
    QCOMPARE(keptTexts(), kept);
    QCOMPARE(QFileInfo::exists(temporary), stays);
    QVERIFY(QFileInfo::exists(folder + u".0106.txt.Ab12Cd.tmp"_qs));
    QVERIFY(QFileInfo::exists(folder + u".hidden"_qs));
    if (stays)
        QCOMPARE(readFile(temporary), leftover);
}

void tst_EntryFiles::keepsAnotherWritersVersionBesideTheEntry_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("changed in place after the load") << u"in place"_qs;
    QTest::newRow("created after an empty load") << u"created"_qs;
    QTest::newRow("renamed over, same size and time") << u"renamed"_qs;
    QTest::newRow("never seen (another diary folder)") << u"unseen"_qs;
    QTest::newRow("rewritten in place, same size, time restored") << u"time restored"_qs;
}

void tst_EntryFiles::keepsAnotherWritersVersionBesideTheEntry()
{
    QFETCH(QString, how);
    QVERIFY(QDir().mkdir(DiaryDir + u"/2003"_qs));
    const QByteArray other("\x82\xD9\x82\xA9other\r\n"); // not even this program's text
    FakePane pane;
    if (how == u"created")
        EntryLedger::instance().rememberAbsent(entry());
    if (how == u"in place" || how == u"renamed" || how == u"time restored") {
        WRITE_FILE(entry(), "mine");
        // Written long ago, so its times alone would say it is unchanged.
        if (how == u"time restored")
            QVERIFY(setModified(entry(), {12345, 678}));
        loadEntryFile(pane, entry());
    }
    if (how == u"time restored") {
        // A copy tool, or FAT's two-second steps: size and modification time as they were.
        const struct timespec modified = statOf(entry()).st_mtim;
        WRITE_FILE(entry(), "othr");
        QVERIFY(setModified(entry(), modified));
    } else if (how == u"renamed") {
        const QString temp = DiaryDir + u"/2003/.sync.tmp"_qs;
        WRITE_FILE(temp, "othr");
        QVERIFY(setModified(temp, statOf(entry()).st_mtim));
        QCOMPARE(
            ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(entry()).constData()),
            0);
    } else {
        WRITE_FILE(entry(), other);
    }
    const QByteArray kept = readFile(entry());

    const SavedNow saved = saveNow(u"typed here"_qs, 2003, 1, 5);
    QCOMPARE(readFile(entry()), QByteArray("typed here"));
    QVERIFY(saved.onDisk);
    QVERIFY2(QFileInfo(saved.keptFile)
                 .fileName()
                 .contains(QRegularExpression(u"^0105\\.conflict-\\d{8}-\\d{6}\\.txt$"_qs)),
        qPrintable(saved.keptFile));
    QCOMPARE(readFile(saved.keptFile), kept);
    QCOMPARE(entriesOfYear(), (QStringList {QFileInfo(saved.keptFile).fileName(), u"0105.txt"_qs}));
    // Once written, the entry is this run's own again.
    QVERIFY(saveNow(u"typed on"_qs, 2003, 1, 5).keptFile.isEmpty());
}

void tst_EntryFiles::ownSavesTouchesAndEqualRewritesAreNoConflict()
{
    saveNow(u"first"_qs, 2003, 1, 5);
    saveNow(u"second"_qs, 2003, 1, 5);
    QVERIFY(setModified(entry(), {12345, 678})); // touched
    QVERIFY(saveNow(u"third"_qs, 2003, 1, 5).keptFile.isEmpty());
    // Another writer puts the very same bytes there under a new inode.
    const QString temp = DiaryDir + u"/2003/.sync.tmp"_qs;
    WRITE_FILE(temp, "third");
    QCOMPARE(
        ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(entry()).constData()), 0);
    QVERIFY(saveNow(u"fourth"_qs, 2003, 1, 5).keptFile.isEmpty());
    // Another writer's text that equals the pane's is no conflict either.
    WRITE_FILE(entry(), "fifth");
    QVERIFY(saveNow(u"fifth"_qs, 2003, 1, 5).keptFile.isEmpty());
    QCOMPARE(entriesOfYear(), QStringList {u"0105.txt"_qs});
    QCOMPARE(readFile(entry()), QByteArray("fifth"));
}

void tst_EntryFiles::unchangedTextWritesNothing()
{
    QVERIFY(QDir().mkdir(DiaryDir + u"/2003"_qs));
    WRITE_FILE(entry(), "line\r\n");
    QVERIFY(setModified(entry(), {12345, 678}));
    FakePane pane;
    loadEntryFile(pane, entry());
    const struct stat before = statOf(entry());
    int creates = 0;
    FileFaults::setHook([&](FileFaults::Step step, const QString &) {
        creates += step == FileFaults::Step::Create;
        return false;
    });
    QVERIFY(saveNow(pane.text(), 2003, 1, 5).onDisk);
    QCOMPARE(creates, 0);
    const struct stat after = statOf(entry());
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

void tst_EntryFiles::keepsAVersionThatArrivesDuringTheSave_data()
{
    QTest::addColumn<FileFaults::Step>("step");
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("foreignFirst");
    QTest::addColumn<bool>("swapRefused");
    QTest::addColumn<QStringList>("kept");
    using FileFaults::Step;
    QTest::newRow("renamed over right before the rename")
        << Step::Rename << u"rename"_qs << false << false << QStringList {u"arrived"_qs};
    QTest::newRow("the same where names cannot be swapped")
        << Step::Rename << u"rename"_qs << false << true << QStringList {u"arrived"_qs};
    QTest::newRow("renamed over while a first version is kept, no swap")
        << Step::Link << u"rename"_qs << true << true << QStringList {u"arrived"_qs, u"first"_qs};
    QTest::newRow("deleted while its version is kept, no swap")
        << Step::Link << u"delete"_qs << true << true << QStringList();
    // A kept version is a copy of what was looked at, whatever is written into the entry later.
    QTest::newRow("rewritten in place once its version is kept, no swap")
        << Step::Kept << u"in place"_qs << true << true
        << QStringList {u"first"_qs, u"rewritten"_qs};
    QTest::newRow("rewritten in place once looked at, no swap")
        << Step::Looked << u"in place"_qs << true << true
        << QStringList {u"first"_qs, u"rewritten"_qs};
    QTest::newRow("touched once its version is kept, no swap")
        << Step::Kept << u"touch"_qs << true << true << QStringList {u"first"_qs};
    // A second Orlune's clean-up must not take what the swap handed back for a crash's leftover.
    QTest::newRow("another process clears leftovers while the writer judges")
        << Step::Looked << u"clear"_qs << false << false << QStringList();
}

// Another writer acts at one of the writer's steps: nothing it wrote is lost, the save goes
// through, and only real conflicts are kept.
void tst_EntryFiles::keepsAVersionThatArrivesDuringTheSave()
{
    QFETCH(FileFaults::Step, step);
    QFETCH(QString, action);
    QFETCH(bool, foreignFirst);
    QFETCH(bool, swapRefused);
    QFETCH(QStringList, kept);
    saveNow(u"mine"_qs, 2003, 1, 5);
    if (foreignFirst)
        QVERIFY(renameOver(entry(), "first"));
    const QString path = entry();
    auto acted = std::make_shared<std::atomic<bool>>(false);
    auto actionFailed = std::make_shared<std::atomic<bool>>(false);
    FileFaults::setHook([=](FileFaults::Step s, const QString &p) {
        if (swapRefused && s == FileFaults::Step::Exchange)
            return true;
        // Keeping starts by claiming the kept name (asked as a creation before the link step).
        const bool keeping = (s == FileFaults::Step::Link || s == FileFaults::Step::Create)
            && p.contains(u".conflict-"_qs);
        const bool here = step == FileFaults::Step::Link ? keeping : s == step && p == path;
        if (!here || acted->exchange(true))
            return false;
        if (action == u"rename")
            *actionFailed = !renameOver(path, "arrived");
        else if (action == u"in place")
            *actionFailed = !writeFile(path, "rewritten");
        else if (action == u"touch")
            *actionFailed = !setModified(path, {12345, 678});
        else if (action == u"delete")
            *actionFailed = !QFile::remove(path);
        else
            AtomicFile::clearEntryLeftovers(path);
        return false;
    });
    QCOMPARE(messageOf([] { saveNow(u"typed here"_qs, 2003, 1, 5); }), u"(no error)"_qs);
    QVERIFY(acted->load());
    QVERIFY(!actionFailed->load());
    QCOMPARE(readFile(entry()), QByteArray("typed here"));
    QCOMPARE(keptTexts(), kept);
    QCOMPARE(entriesOfYear().filter(u".tmp"_qs), QStringList());
}

// Within the file system's timestamp tick of being recorded, a rewrite can leave size and times
// as they were: such a record is checked against the file's bytes, an older one by its times.
void tst_EntryFiles::recordMadeWithinATickIsCheckedByItsBytes()
{
    WRITE_FILE(entry(), "othr");
    EntryLedger &ledger = EntryLedger::instance();
    // As if "mine" had been recorded, then rewritten in place within the same tick.
    ledger.rememberFile(entry(), statOf(entry()), "mine");
    QCOMPARE(ledger.look(entry()).standing, EntryLedger::Standing::Foreign);
    QVERIFY(setModified(entry(), {12345, 678}));
    ledger.rememberFile(entry(), statOf(entry()), "mine");
    int reads = 0;
    FileFaults::setHook([&](FileFaults::Step s, const QString &) {
        reads += s == FileFaults::Step::OpenRead;
        return false;
    });
    QCOMPARE(ledger.look(entry()).standing, EntryLedger::Standing::Seen);
    QCOMPARE(reads, 0);
}

// The entry is a symbolic link, pointed elsewhere between the save's staging and the writer's
// step: the save goes where the link pointed when it was staged, and the version the link now
// names is kept once, as a file of its own.
void tst_EntryFiles::symlinkedEntryIsResolvedOncePerSave()
{
    const QString first = m_dir->filePath(u"elsewhere/first.txt"_qs);
    const QString second = m_dir->filePath(u"elsewhere/second.txt"_qs);
    WRITE_FILE(first, "first");
    WRITE_FILE(second, "second");
    QVERIFY(QDir().mkdir(DiaryDir + u"/2003"_qs));
    QVERIFY(QFile::link(first, entry()));
    FakePane pane;
    loadEntryFile(pane, entry());
    const QString link = entry();
    auto repointed = std::make_shared<std::atomic<bool>>(false);
    FileFaults::setHook([=](FileFaults::Step s, const QString &p) {
        if (s == FileFaults::Step::Sync && p == link && !repointed->exchange(true))
            *repointed = QFile::remove(link) && QFile::link(second, link);
        return false;
    });
    saveNow(u"typed"_qs, 2003, 1, 5);
    QVERIFY(repointed->load());
    QCOMPARE(readFile(first), QByteArray("typed"));
    saveNow(u"typed on"_qs, 2003, 1, 5);
    QCOMPARE(readFile(second), QByteArray("typed on"));
    QVERIFY(QFileInfo(entry()).isSymLink());

    QStringList keptCopies;
    QDirIterator files(
        m_dir->path(), {u"*.conflict-*"_qs}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString kept = files.next();
        keptCopies << QString::fromLatin1(readFile(kept));
        QCOMPARE(statOf(kept).st_nlink, nlink_t(1));
    }
    QCOMPARE(keptCopies, QStringList {u"second"_qs});
}

// A symbolic link put where the entry was after the save was staged: the save fails rather than
// replace it (a newer save may already be on its way through it), and the next one follows it.
void tst_EntryFiles::linkArrivingAfterStagingIsNeverReplaced_data()
{
    QTest::addColumn<FileFaults::Step>("step");
    QTest::newRow("before the flush") << FileFaults::Step::Sync;
    QTest::newRow("right at the swap") << FileFaults::Step::Exchange;
}

void tst_EntryFiles::linkArrivingAfterStagingIsNeverReplaced()
{
    QFETCH(FileFaults::Step, step);
    saveNow(u"mine"_qs, 2003, 1, 5);
    const QString elsewhere = m_dir->filePath(u"elsewhere/other.txt"_qs);
    WRITE_FILE(elsewhere, "other");
    const QString path = entry();
    auto linked = std::make_shared<std::atomic<bool>>(false);
    FileFaults::setHook([=](FileFaults::Step s, const QString &p) {
        if (s == step && p == path && !linked->exchange(true))
            *linked = QFile::remove(path) && QFile::link(elsewhere, path);
        return false;
    });
    QCOMPARE(messageOf([] { saveNow(u"typed"_qs, 2003, 1, 5); }),
        u"ファイル "_qs + entry() + u" を作成できません"_qs);
    QVERIFY(linked->load());
    QVERIFY(QFileInfo(entry()).isSymLink());
    QCOMPARE(readFile(elsewhere), QByteArray("other"));
    FileFaults::setHook({});
    const SavedNow saved = saveNow(u"typed"_qs, 2003, 1, 5);
    QVERIFY(QFileInfo(entry()).isSymLink());
    QCOMPARE(readFile(elsewhere), QByteArray("typed"));
    QCOMPARE(readFile(saved.keptFile), QByteArray("other"));
    QCOMPARE(entriesOfYear(), QStringList {u"0105.txt"_qs});
}

void tst_EntryFiles::keptVersionNeverReplacesAFile()
{
    QVERIFY(QDir().mkdir(DiaryDir + u"/2003"_qs));
    WRITE_FILE(entry(), "other");
    const QDateTime now(QDate(2026, 12, 8), QTime(15, 30, 12));
    const QString taken = DiaryDir + u"/2003/0105.conflict-20261208-153012.txt"_qs;
    WRITE_FILE(taken, "kept before");
    const int fd = ::open(QFile::encodeName(entry()).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    const QString kept = KeptVersion::keepOpen(fd, std::nullopt, entry(), now);
    QCOMPARE(QFileInfo(kept).fileName(), u"0105.conflict-20261208-153012-2.txt"_qs);
    QCOMPARE(readFile(taken), QByteArray("kept before"));
    QCOMPARE(readFile(kept), QByteArray("other"));
}

void tst_EntryFiles::loadShowsTheTextOfASaveInFlight_data()
{
    QTest::addColumn<bool>("existed");
    QTest::newRow("replacing an entry") << true;
    QTest::newRow("first save of the day") << false;
}

// While the disk is still flushing a save, a load shows its text and the file is left to it.
void tst_EntryFiles::loadShowsTheTextOfASaveInFlight()
{
    QFETCH(bool, existed);
    if (existed)
        saveNow(u"old"_qs, 2003, 1, 5);
    auto flushing = std::make_shared<QSemaphore>();
    auto release = std::make_shared<QSemaphore>();
    auto creates = std::make_shared<std::atomic<int>>(0);
    const QString path = entry();
    FileFaults::setHook([=](FileFaults::Step step, const QString &p) {
        if (step == FileFaults::Step::Create && p == path)
            ++*creates;
        if (step == FileFaults::Step::Sync && p == path) {
            flushing->release();
            release->tryAcquire(1, 10000);
        }
        return false;
    });
    const auto unblock = qScopeGuard([=] { release->release(100); });
    saveCurrentEntry(u"new"_qs, 2003, 1, 5);
    QVERIFY(flushing->tryAcquire(1, 10000));
    QCOMPARE(readFile(entry()), existed ? QByteArray("old") : QByteArray("<missing>"));

    FakePane pane;
    loadEntryFile(pane, entry());
    QCOMPARE(pane.text(), u"new"_qs);
    saveCurrentEntry(u"new"_qs, 2003, 1, 5); // what is being saved already
    QCOMPARE(creates->load(), 1);

    release->release(100);
    EntryWriter::instance().waitForAll();
    QCOMPARE(readFile(entry()), QByteArray("new"));
    QCOMPARE(entriesOfYear(), QStringList {u"0105.txt"_qs});
    const QList<EntryWriter::Outcome> outcomes = EntryWriter::instance().takeOutcomes();
    QCOMPARE(outcomes.size(), 1);
    QVERIFY(outcomes[0].error.isEmpty() && outcomes[0].keptFile.isEmpty());
    QCOMPARE(outcomes[0].text, u"new"_qs);
}

void tst_EntryFiles::listsEntriesAndKeptCopiesByNameOnly()
{
    const QStringList files {u"2024/0229.txt"_qs, u"2024/1231.txt"_qs,
        u"2024/0229.conflict-20240301-101500.txt"_qs,
        u"2024/0229.conflict-20240301-101500-2.txt"_qs,
        u"2024/0229.sync-conflict-20240301-101500-ABCDEFG.txt"_qs, u"2023/0101.txt"_qs,
        u"0/0229.txt"_qs, u"-1/0301.txt"_qs,
        // None of these is an entry.
        u"2023/0229.txt"_qs, u"2023/1301.txt"_qs, u"2023/0100.txt"_qs, u"2023/101.txt"_qs,
        u"2023/0101.TXT"_qs, u"2023/0101.txt~"_qs, u"2023/.0101.txt.AbC123.tmp"_qs,
        u"2023/.0102.txt"_qs, u"2023/0101.conflict-x.txt"_qs, u"02023/0102.txt"_qs,
        u"-0/0102.txt"_qs, u"-4/0102.txt"_qs, u"10000/0102.txt"_qs, u"x/0102.txt"_qs,
        u"2023/notes/0103.txt"_qs};
    for (const QString &file : files)
        WRITE_FILE(DiaryDir + u'/' + file, "text");
    QVERIFY(QDir().mkpath(DiaryDir + u"/2023/0104.txt"_qs));
    QVERIFY(QFile::link(DiaryDir + u"/2023/0101.txt"_qs, DiaryDir + u"/2023/0105.txt"_qs));
    QVERIFY(QFile::link(DiaryDir + u"/nowhere.txt"_qs, DiaryDir + u"/2023/0106.txt"_qs));

    QCOMPARE(EntryListing::years(DiaryDir), (QList<int> {2024, 2023, 0, -1}));
    QStringList listed;
    for (const EntryListing::Entry &entry : EntryListing::inDiary(DiaryDir)) {
        QVERIFY(entry.path.startsWith(DiaryDir + u'/'));
        listed << QStringLiteral("%1-%2-%3%4 %5")
                      .arg(entry.year)
                      .arg(entry.month)
                      .arg(entry.day)
                      .arg(entry.kept ? u" kept"_qs : QString(), QFileInfo(entry.path).fileName());
    }
    const QStringList expected {u"2024-12-31 1231.txt"_qs, u"2024-2-29 0229.txt"_qs,
        u"2024-2-29 kept 0229.conflict-20240301-101500-2.txt"_qs,
        u"2024-2-29 kept 0229.conflict-20240301-101500.txt"_qs,
        u"2024-2-29 kept 0229.sync-conflict-20240301-101500-ABCDEFG.txt"_qs,
        u"2023-1-5 0105.txt"_qs, u"2023-1-1 0101.txt"_qs, u"0-2-29 0229.txt"_qs,
        u"-1-3-1 0301.txt"_qs};
    QCOMPARE(listed, expected);
    QVERIFY(EntryListing::inYear(DiaryDir, 2022).isEmpty());
    QVERIFY(EntryListing::inDiary(QString()).isEmpty());
}

QTEST_GUILESS_MAIN(tst_EntryFiles)
#include "tst_entryfiles.moc"
