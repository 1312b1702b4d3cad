#include "DiaryFixture.h"
#include "DiskSnapshot.h"
#include "WindowsLeft.h"
#include "storage/DiaryText.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

enum class Hostile {
    SparseEntry,
    BinaryEntry,
    Utf8Entry,
    FolderAsEntry,
    YearFolderLoop,
    EntryLinkedOutside,
    HugeSettings,
    SettingsWithNulsAndCrs,
    LongDir,
};

const QByteArray kBinary = [] {
    QByteArray bytes;
    for (int i = 0; i < 4096; ++i)
        bytes += char((i * 7919) >> 3);
    return bytes;
}();
const QByteArray kUtf8 = QString(u"日記は UTF-8 で書かれた。\n二行目\n"_qs).toUtf8();
const QByteArray kOutside = "outside the diary\r\n";

template<size_t N> QByteArray bytesOf(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

// Lays out the case under root: the settings file beside the executable and the diary folder.
// Its failures are the test's: the caller checks QTest::currentTestFailed().
void layOut(Hostile kind, const QString &root, QDate today)
{
    const QString diary = root + u"/diary"_qs;
    const QString ini = root + u"/Orlune.ini"_qs;
    const QString entry = entryPathIn(diary, today);
    QVERIFY(QDir().mkpath(diary + u'/' + QString::number(today.year())));
    WRITE_FILE(ini, settingsText(diary));
    WRITE_FILE(entryPathIn(diary, today.addYears(-1)), "last year\r\n");
    switch (kind) {
    case Hostile::SparseEntry: {
        WRITE_FILE(entry, QByteArray());
        QVERIFY(QFile::resize(entry, 2LL * 1024 * 1024 * 1024));
        break;
    }
    case Hostile::BinaryEntry:
        WRITE_FILE(entry, kBinary);
        break;
    case Hostile::Utf8Entry:
        WRITE_FILE(entry, kUtf8);
        break;
    case Hostile::FolderAsEntry:
        QVERIFY(QDir().mkpath(entry));
        break;
    case Hostile::YearFolderLoop: {
        const QString year = diary + u'/' + QString::number(today.year());
        QVERIFY(QDir(year).removeRecursively());
        QVERIFY(QFile::link(year, year));
        const QString lastYear = diary + u'/' + QString::number(today.year() - 2);
        QVERIFY(QFile::link(lastYear + u"x"_qs, lastYear));
        QVERIFY(QFile::link(lastYear, lastYear + u"x"_qs));
        break;
    }
    case Hostile::EntryLinkedOutside:
        WRITE_FILE(root + u"/outside/note.txt"_qs, kOutside);
        QVERIFY(QFile::link(root + u"/outside/note.txt"_qs, entry));
        break;
    case Hostile::HugeSettings: {
        QByteArray big;
        for (int i = 0; i < 100000; ++i)
            big += "[Section" + QByteArray::number(i) + "]\r\nKey=" + QByteArray(80, 'v') + "\r\n";
        WRITE_FILE(ini, big + settingsText(diary));
        WRITE_FILE(entry, "today\r\n");
        break;
    }
    case Hostile::SettingsWithNulsAndCrs:
        WRITE_FILE(ini,
            bytesOf("\0\0[Junk]\r\0=\0\r[Data]\rDir=") + QFile::encodeName(diary)
                + bytesOf("\r\0\0\0\rNumberOfCharsToSave=20\r\0"));
        WRITE_FILE(entry, "today\r\n");
        break;
    case Hostile::LongDir:
        WRITE_FILE(ini, "[Data]\r\nDir=/" + QByteArray(4999, 'd') + "\r\n");
        break;
    }
}

// CPU time of a process, in clock ticks.
qint64 cpuTicks(pid_t pid)
{
    QFile stat(u"/proc/%1/stat"_qs.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

// True once the process has run and then used no CPU for 300 ms: its start-up is over (or it
// has ended).
bool waitUntilIdle(pid_t pid, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = -1;
    int quiet = 0;
    while (clock.elapsed() < timeoutMs) {
        const qint64 now = cpuTicks(pid);
        // A process just started may not have been given a tick yet.
        quiet = now == last && now != 0 ? quiet + 1 : 0;
        if (quiet >= 3)
            return true;
        last = now;
        QTest::qWait(100);
    }
    return false;
}

} // namespace

// Files no sane program would leave in a diary, met by the main window and by the real program:
// no crash, no hang, the user's message or a cleared pane, and nothing on disk changed (an entry
// nobody edited keeps its bytes, whatever they are).
class tst_Hostile : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { VERIFY_NO_WINDOW_LEFT_OPEN(); }
    void windowMeetsHostileFiles_data() { cases(); }
    void windowMeetsHostileFiles();
    void programMeetsHostileFiles_data() { cases(); }
    void programMeetsHostileFiles();

private:
    static void cases();
};

void tst_Hostile::cases()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("shown"); // today's pane as file bytes; "-" for cleared
    const QString quiet;
    QTest::newRow("2 GB sparse entry")
        << int(Hostile::SparseEntry) << u"文字列の大きさが メモ の制限を越えました."_qs
        << QByteArray("-");
    QTest::newRow("binary entry") << int(Hostile::BinaryEntry) << quiet << kBinary;
    QTest::newRow("UTF-8 entry") << int(Hostile::Utf8Entry) << quiet << kUtf8;
    QTest::newRow("folder named like an entry")
        << int(Hostile::FolderAsEntry) << quiet << QByteArray("-");
    QTest::newRow("year folder link loop")
        << int(Hostile::YearFolderLoop) << quiet << QByteArray("-");
    QTest::newRow("entry linked outside the diary")
        << int(Hostile::EntryLinkedOutside) << quiet << kOutside;
    QTest::newRow("10 MB settings, 100,000 sections")
        << int(Hostile::HugeSettings) << quiet << QByteArray("today\r\n");
    QTest::newRow("settings with NULs and CR-only lines")
        << int(Hostile::SettingsWithNulsAndCrs) << quiet << QByteArray("today\r\n");
    QTest::newRow("Dir of 5,000 bytes") << int(Hostile::LongDir) << quiet << QByteArray("-");
}

void tst_Hostile::windowMeetsHostileFiles()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    QFETCH(QByteArray, shown);
    DiaryFixture f;
    const QDate today(2026, 12, 8);
    layOut(Hostile(kind), f.root.path(), today);
    if (QTest::currentTestFailed())
        return;
    const auto before = diskSnapshot(f.root.path());

    QElapsedTimer clock;
    clock.start();
    TfrmMain &w = f.start();
    qInfo("start-up took %lld ms", clock.elapsed());
    // A hang, not speed: the bound holds a loaded machine under the sanitizers. The real
    // program's answer to SIGTERM is held to a second below.
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(f.prompter.modalRuns, 0);
    QCOMPARE(f.prompter.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(f.prompter.messages[0].text, message);
    if (shown == "-")
        QCOMPARE(w.memToday->text(), QString());
    else
        QCOMPARE(w.memToday->text(), diaryTextFromBytes(shown));
    w.close();
    QVERIFY(!w.isVisible());
    const auto after = diskSnapshot(f.root.path());
    QVERIFY2(after == before, qPrintable(snapshotDifference(before, after)));
}

// The same through the real program: still running once its start-up is over, and a SIGTERM
// answered within a second even with an error box open, leaving the disk as it was.
void tst_Hostile::programMeetsHostileFiles()
{
    QFETCH(int, kind);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QDate today = QDate::currentDate();
    const QString exe = root.filePath(u"Orlune"_qs);
    QVERIFY(QFile::copy(QStringLiteral(ORLUNE_EXECUTABLE), exe));
    layOut(Hostile(kind), root.path(), today);
    if (QTest::currentTestFailed())
        return;
    const auto before = diskSnapshot(root.path());

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(exe, {});
    QVERIFY(program.waitForStarted(5000));
    // Start-up under the sanitizers on a loaded machine takes its time; a hang in a busy loop
    // never settles, a hang in a blocking call fails the SIGTERM answer below.
    QVERIFY(waitUntilIdle(pid_t(program.processId()), 20000));
    QCOMPARE(program.state(), QProcess::Running);
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(5000));
    qInfo("answered SIGTERM in %lld ms", clock.elapsed());
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    if (QDate::currentDate() != today)
        QSKIP("the date changed while the program ran");
    const auto after = diskSnapshot(root.path());
    QVERIFY2(after == before, qPrintable(snapshotDifference(before, after)));
}

QTEST_MAIN(tst_Hostile)
#include "tst_hostile.moc"
