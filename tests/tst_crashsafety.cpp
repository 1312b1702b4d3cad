#include <QtTest>

#include "CrashTexts.h"
#include "SavedNow.h"
#include "storage/DiaryText.h"
#include "storage/EntryFiles.h"
#include "storage/Settings.h"

#include <csignal>

// A process saving entries is killed at random moments; every entry must afterwards hold one
// of the two texts whole. ORLUNE_CRASH_KILLS sets the number of kills for longer campaigns.
class tst_CrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void entriesSurviveSigkillWhole();
};

void tst_CrashSafety::entriesSurviveSigkillWhole()
{
    const int kills = qEnvironmentVariableIntValue("ORLUNE_CRASH_KILLS") > 0
        ? qEnvironmentVariableIntValue("ORLUNE_CRASH_KILLS")
        : 50;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DiaryDir = dir.path();
    const QByteArray a = diaryTextToBytes(crashTextA());
    const QByteArray b = diaryTextToBytes(crashTextB());
    for (int day = 1; day <= kCrashDays; ++day)
        saveNow(crashTextA(), kCrashYear, 1, day);

    QRandomGenerator random(2026);
    for (int kill = 0; kill < kills; ++kill) {
        QProcess saver;
        saver.start(QStringLiteral(ENTRY_SAVE_LOOP_PATH), {dir.path()});
        QVERIFY(saver.waitForStarted());
        QVERIFY(saver.waitForReadyRead());
        QThread::usleep(random.bounded(1, 40000)); // a random moment, not a timed assertion
        ::kill(pid_t(saver.processId()), SIGKILL);
        QVERIFY(saver.waitForFinished());
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);
        for (int day = 1; day <= kCrashDays; ++day) {
            QFile entry(entryFilePath(kCrashYear, 1, day));
            QVERIFY(entry.open(QIODevice::ReadOnly));
            const QByteArray bytes = entry.readAll();
            QVERIFY2(bytes == a || bytes == b,
                qPrintable(u"kill %1, day %2: %3 bytes"_qs.arg(kill).arg(day).arg(bytes.size())));
        }
    }
    DiaryDir.clear();
}

QTEST_GUILESS_MAIN(tst_CrashSafety)
#include "tst_crashsafety.moc"
