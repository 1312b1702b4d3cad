#include "TestFiles.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>

namespace {

// Whether a process watches a file through inotify (its fdinfo names each watched inode): the
// program watches the entries of its page once it has loaded them.
bool watchesFile(qint64 pid, const QString &path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    const QByteArray inode = "ino:" + QByteArray::number(qulonglong(st.st_ino), 16) + ' ';
    const QString fdinfo = u"/proc/%1/fdinfo"_qs.arg(pid);
    const QStringList fds = QDir(fdinfo).entryList(QDir::Files);
    for (const QString &fd : fds) {
        QFile info(fdinfo + u'/' + fd);
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : info.readAll().split('\n')) {
            if (line.startsWith("inotify ") && line.contains(inode))
                return true;
        }
    }
    return false;
}

} // namespace

// Runs the real program, copied beside its own settings file, as a user would start it.
class tst_Program : public QObject
{
    Q_OBJECT

private slots:
    void startsShowsTodayAndSavesOnTerminate();
};

void tst_Program::startsShowsTodayAndSavesOnTerminate()
{
    QTemporaryDir root;
    const QString exe = root.filePath(QStringLiteral("Orlune"));
    QVERIFY(QFile::copy(QStringLiteral(ORLUNE_EXECUTABLE), exe));
    const QString diary = root.filePath(QStringLiteral("diary"));
    WRITE_FILE(root.filePath(QStringLiteral("Orlune.ini")), settingsText(diary));

    const QDate today = QDate::currentDate();
    const QString entry = entryPathIn(diary, today.year(), today.month(), today.day());
    // Written elsewhere with LF breaks: nobody edits it, so the close on SIGTERM leaves its
    // bytes as they are.
    WRITE_FILE(entry, "\x93\xfa\x8b\x4c\nline two\n");
    const QString lastYear = entryPathIn(diary, today.year() - 1, today.month(), today.day());
    WRITE_FILE(lastYear, "old\n");

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(exe, {});
    QVERIFY(program.waitForStarted(5000));
    // The page is loaded once the program watches today's entry; a SIGTERM before would find
    // nothing to save.
    QVERIFY(QTest::qWaitFor(
        [&] {
            return program.state() != QProcess::Running || watchesFile(program.processId(), entry);
        },
        30000));
    QCOMPARE(program.state(), QProcess::Running);
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    if (QDate::currentDate() != today)
        QSKIP("the date changed while the program ran");

    QCOMPARE(readFile(entry), QByteArray("\x93\xfa\x8b\x4c\nline two\n"));
    QCOMPARE(readFile(lastYear), QByteArray("old\n"));
}

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_program.moc"
