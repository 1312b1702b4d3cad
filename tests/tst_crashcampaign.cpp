#include "CrashTexts.h"
#include "FakePane.h"
#include "SavedNow.h"
#include "TestFiles.h"
#include "storage/AtomicFile.h"
#include "storage/DiaryText.h"
#include "storage/EntryFiles.h"
#include "storage/Settings.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

namespace {

const QString kYearName = QString::number(kCrashYear);

QString entryName(int day)
{
    return entryFilePath(kCrashYear, 1, day).section(u'/', -1);
}

} // namespace

// Kills a saving process at random moments, many times over (ORLUNE_CRASH_KILLS, 80 here and
// 1,000 or more in scripts/crash-campaign), every other time with each flush made slow as on a
// USB stick, so kills land while saves wait for the writer, and every other time on the disk as
// it is. After every kill each entry holds one text whole, the year folder holds nothing but
// entries, their temporaries (at most three an entry: one being flushed, one waiting, one being
// written) and kept copies, and the next save of an entry clears what a kill left beside it.
// A temporary may hold the version a swap had just handed back, so the clean-up keeps one that
// differs from the entry: a kept copy holds the start of a text the killed writer was writing,
// or a text whole, never a mix.
class tst_CrashCampaign : public QObject
{
    Q_OBJECT

private slots:
    void killsLeaveWholeEntriesAndNoLastingTemporary();

private:
    EntryWriter m_writer;
};

void tst_CrashCampaign::killsLeaveWholeEntriesAndNoLastingTemporary()
{
    const int asked = qEnvironmentVariableIntValue("ORLUNE_CRASH_KILLS");
    const int kills = asked > 0 ? asked : 80;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DiaryDir = dir.path();
    const QByteArray texts[2] = {diaryTextToBytes(crashTextA()), diaryTextToBytes(crashTextB())};
    for (int day = 1; day <= kCrashDays; ++day)
        saveNow(crashTextA(), kCrashYear, 1, day);
    const QDir year(yearFolderPath(kCrashYear));

    QRandomGenerator random(qEnvironmentVariableIntValue("ORLUNE_CRASH_SEED") + 8);
    int leftTemporary = 0;
    for (int kill = 0; kill < kills; ++kill) {
        QProcess saver;
        if (kill % 2 == 1) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"LD_PRELOAD"_qs, QStringLiteral(ORLUNE_SLOWFLUSH_PATH));
            env.insert(u"ORLUNE_SLOW_FLUSH_MS"_qs, QString::number(random.bounded(1, 30)));
            // The shim comes before a sanitizer's runtime, which would refuse that.
            env.insert(u"ASAN_OPTIONS"_qs,
                env.value(u"ASAN_OPTIONS"_qs) + u":verify_asan_link_order=0"_qs);
            saver.setProcessEnvironment(env);
        }
        saver.start(QStringLiteral(ENTRY_SAVE_LOOP_PATH), {dir.path()});
        QVERIFY(saver.waitForStarted());
        QVERIFY(saver.waitForReadyRead());
        QThread::usleep(random.bounded(1, 60000)); // a random moment, not a timed assertion
        ::kill(pid_t(saver.processId()), SIGKILL);
        QVERIFY(saver.waitForFinished());
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

        QStringList temporaries;
        QHash<QString, int> temporariesOf;
        for (const QString &name :
            year.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            if (AtomicFile::isTemporaryName(name)) {
                temporaries << name;
                QVERIFY2(++temporariesOf[name.mid(1, 8)] <= 3, qPrintable(name));
            } else if (name.contains(u".conflict-"_qs)) {
                const QByteArray kept = readFile(year.filePath(name));
                QVERIFY2(
                    !kept.isEmpty() && (texts[0].startsWith(kept) || texts[1].startsWith(kept)),
                    qPrintable(name));
            } else
                QVERIFY2(QStringList({entryName(1), entryName(2), entryName(3), entryName(4)})
                             .contains(name),
                    qPrintable(name));
        }
        leftTemporary += temporaries.size();
        for (int day = 1; day <= kCrashDays; ++day) {
            const QByteArray bytes = readFile(entryFilePath(kCrashYear, 1, day));
            QVERIFY2(bytes == texts[0] || bytes == texts[1],
                qPrintable(u"kill %1, day %2: %3 bytes"_qs.arg(kill).arg(day).arg(bytes.size())));
        }
        // The next save of the entry a temporary belongs to clears it.
        for (const QString &name : temporaries) {
            const int day = name.mid(3, 2).toInt();
            FakePane seen;
            loadEntryFile(seen, entryFilePath(kCrashYear, 1, day));
            saveNow(seen.text() == crashTextB() ? crashTextA() : crashTextB(), kCrashYear, 1, day);
            QVERIFY2(!year.exists(name), qPrintable(name));
        }
    }
    qInfo("%d kills survived; they left %d temporary files, each cleared by the next save, %d of "
          "them kept as copies",
        kills, leftTemporary, int(year.entryList({u"*.conflict-*"_qs}, QDir::Files).size()));
    DiaryDir.clear();
}

QTEST_GUILESS_MAIN(tst_CrashCampaign)
#include "tst_crashcampaign.moc"
