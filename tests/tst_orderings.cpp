#include "orderings/Schedule.h"
#include "orderings/ScheduleRunner.h"
#include "storage/EntryWriter.h"
#include "storage/FileFaults.h"
#include "storage/Settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

// The ordering campaign: the diary page and the real storage code on real files, with the
// person, another writer, a second Orlune and the disk interleaved at every step a save takes
// (FileFaults' steps and pause points). Every pair of events at every step, then random
// schedules from a printed seed; after each, an oracle that reads only the folders.
//
// Environment: ORLUNE_ORDERINGS_FOLDER names the file system to run on (a tmpfs by default);
// ORLUNE_ORDERINGS_SCHEDULE="seen: Type RenameOver@Looked SaveKey Close" replays
// one schedule (and keeps its folders, printed); ORLUNE_ORDERINGS_SEED fixes the random
// schedules' seed (fixed by default, drawn afresh when more schedules are asked for);
// ORLUNE_ORDERINGS_SCHEDULES sets how many schedules of the first kinds (pairs, then random)
// run in all (13,600 by default; a longer campaign asks for more; fewer than the pairs samples
// them and the second Orlune's evenly); ORLUNE_ORDERINGS_REPORT names a file that receives
// every failing schedule.
class tst_Orderings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void foundOrderingsStayFixed_data();
    void foundOrderingsStayFixed();
    void everyPairAtEveryStep();
    void randomSchedulesFromSeed();
    void secondOrluneAtEveryStep();
    void hungFlushAtTheEnd();
    void replay();

private:
    // Runs the schedules and fails with the first few that broke the oracle, each with the
    // command that replays it.
    void campaign(const QList<Schedule> &schedules, const QString &what);
    static bool replaying();

    std::unique_ptr<EntryWriter> m_writer;
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<ScheduleRunner> m_runner;
    int m_run = 0;
    qint64 m_ms = 0;
};

namespace {

constexpr int kDefaultSchedules = 13600;
constexpr int kShownFailures = 5;

QString campaignFolder()
{
    // Another file system when asked (a real exFAT one, by scripts/with-exfat).
    if (qEnvironmentVariableIsSet("ORLUNE_ORDERINGS_FOLDER"))
        return qEnvironmentVariable("ORLUNE_ORDERINGS_FOLDER");
    // A tmpfs where there is one: the flushes are skipped, the rest is the kernel's.
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
}

// A fault found by the campaign and not yet mended: the schedules it breaks are counted apart
// and reported as an expected failure, so that any other failure still fails the run, and its
// fixed row is expected to fail until it is mended (then the row passes unexpectedly: remove
// the entry).
struct OpenFinding
{
    const char *name;
    std::function<bool(const Schedule &schedule, const QStringList &violations)> breaks;
};

bool hasEvent(const Schedule &schedule, Event event)
{
    return std::any_of(schedule.moves.begin(), schedule.moves.end(),
        [&](const Move &move) { return move.event == event; });
}

bool allSay(const QStringList &violations, QStringView what)
{
    return !violations.isEmpty()
        && std::all_of(violations.begin(), violations.end(),
            [&](const QString &violation) { return violation.contains(what); });
}

const QList<OpenFinding> &openFindings()
{
    // An entry names the finding and recognises the schedules it breaks.
    static const QList<OpenFinding> open {
        {"where the change time is the modification time in whole seconds (exFAT), a rewrite of "
         "the same size that puts the old time back, judged by times alone (a record more than a "
         "tick old), is taken for the version seen and replaced unkept",
            [](const Schedule &schedule, const QStringList &violations) {
                return qEnvironmentVariableIsSet("ORLUNE_ORDERINGS_FOLDER")
                    && hasEvent(schedule, Event::SameSizeRewrite)
                    && (schedule.aged || hasEvent(schedule, Event::Age))
                    && allSay(violations, u"lost: other writer text");
            }},
    };
    return open;
}

const OpenFinding *openFindingOf(const Schedule &schedule, const QStringList &violations)
{
    for (const OpenFinding &finding : openFindings()) {
        if (finding.breaks(schedule, violations))
            return &finding;
    }
    return nullptr;
}

int schedulesAsked()
{
    const int asked = qEnvironmentVariableIntValue("ORLUNE_ORDERINGS_SCHEDULES");
    return asked > 0 ? asked : kDefaultSchedules;
}

// Asked for fewer schedules than the pairs make (a slower build), half of them are pairs, every
// n-th, and so is every n-th of the second Orlune's; the rest are random.
qsizetype pairStride()
{
    const qsizetype pairs = Schedule::pairs().size();
    const qsizetype share = std::max(1, schedulesAsked() / 2);
    return schedulesAsked() >= pairs ? 1 : (pairs + share - 1) / share;
}

QList<Schedule> everyNth(const QList<Schedule> &schedules, qsizetype n)
{
    QList<Schedule> taken;
    for (qsizetype i = 0; i < schedules.size(); i += n)
        taken << schedules[i];
    return taken;
}

} // namespace

void tst_Orderings::initTestCase()
{
    m_writer = std::make_unique<EntryWriter>();
    m_root = std::make_unique<QTemporaryDir>(campaignFolder() + u"/orlune-orderings-XXXXXX"_qs);
    QVERIFY(m_root->isValid());
    m_runner
        = std::make_unique<ScheduleRunner>(m_root->path(), QStringLiteral(ORDERINGS_ACTOR_PATH));
    FileFaults::setFlushesSkipped(true);
    CharsToSave = 16;
}

void tst_Orderings::cleanupTestCase()
{
    FileFaults::setFlushesSkipped(false);
    CharsToSave = kDefaultCharsToSave;
    DiaryDir.clear();
    m_runner.reset();
    m_writer.reset();
    qInfo("%d schedules in %lld ms", m_run, m_ms);
}

bool tst_Orderings::replaying()
{
    return qEnvironmentVariableIsSet("ORLUNE_ORDERINGS_SCHEDULE");
}

void tst_Orderings::campaign(const QList<Schedule> &schedules, const QString &what)
{
    QElapsedTimer clock;
    clock.start();
    int failed = 0;
    int known = 0;
    QSet<QString> knownNames;
    int unfired = 0;
    QString shown;
    // Every failing schedule, for a look at all of them.
    QFile report(qEnvironmentVariable("ORLUNE_ORDERINGS_REPORT"));
    if (!report.fileName().isEmpty())
        report.open(QIODevice::Append);
    for (const Schedule &schedule : schedules) {
        const ScheduleRunner::Result result = m_runner->run(schedule);
        ++m_run;
        unfired += result.unfired > 0;
        if (result.violations.isEmpty())
            continue;
        if (const OpenFinding *finding = openFindingOf(schedule, result.violations)) {
            ++known;
            knownNames.insert(QString::fromLatin1(finding->name));
            continue;
        }
        if (report.isOpen())
            report.write(
                (schedule.text() + u"\n    "_qs + result.violations.join(u"\n    "_qs) + u'\n')
                    .toUtf8());
        if (++failed <= kShownFailures)
            shown
                += QStringLiteral("\n  %1\n    replay: ORLUNE_ORDERINGS_SCHEDULE='%2' "
                                  "tst_orderings replay\n    %3")
                       .arg(schedule.text(), schedule.text(), result.violations.join(u"\n    "_qs));
    }
    const qint64 ms = clock.elapsed();
    m_ms += ms;
    qInfo("%s: %lld schedules in %lld ms (%d with a move that met no step)", qPrintable(what),
        qint64(schedules.size()), ms, unfired);
    if (known > 0) {
        const QStringList names(knownNames.begin(), knownNames.end());
        QEXPECT_FAIL("",
            qPrintable(QStringLiteral("%1 schedules break open findings: %2")
                           .arg(known)
                           .arg(names.join(u"; "_qs))),
            Continue);
        QCOMPARE(known, 0);
    }
    if (failed > 0)
        QFAIL(qPrintable(QStringLiteral("%1 of %2 schedules lost or misplaced a text:%3")
                             .arg(failed)
                             .arg(schedules.size())
                             .arg(shown)));
}

void tst_Orderings::foundOrderingsStayFixed_data()
{
    QTest::addColumn<QString>("schedule");
    // A save's steps met by each fault named when the save became concurrent, and each schedule
    // the campaign found failing since, so that all of them run every time.
    const auto row = [](const char *name, const char *schedule) {
        QTest::newRow(name) << QString::fromLatin1(schedule);
    };
    row("a version renamed over between the look and the rename",
        "seen: Type RenameOver@Looked SaveKey Follow Type Leave Close");
    row("the same where the swap is refused",
        "seen: Type Fail@Exchange RenameOver@Kept SaveKey Follow Type Leave Close");
    row("nothing typed, a newer version by rename, then a leave",
        "seen: RenameOver Leave Follow Close");
    row("nothing typed, a newer version by rename, then a termination",
        "seen: RenameOver Terminate");
    row("a failed flush, another day, then back",
        "seen: Type Fail@Sync SaveKey ChangeDay ChangeDay Close");
    row("a failed flush, another day, then a termination",
        "seen: Type Fail@Sync SaveKey ChangeDay Terminate");
    row("another folder chosen with typing in the pane", "seen: Type ChangeFolder Type Close");
    row("a same-size rewrite with the old time restored",
        "seen: Type SameSizeRewrite SaveKey Follow Close");
    row("an entry deleted while its other version is kept",
        "foreign: Type Delete@Kept SaveKey Follow Type Leave Close");
    row("a composition during a reload", "seen: Compose RenameOver Follow Close");
    row("a symbolic link arriving between staging and the writer",
        "seen: Type Symlink@Create SaveKey Follow Type Leave Close");
    row("a version kept before a rename that fails is kept once",
        "absent: Type Fail@Rename WriteInPlace@Create SaveKey Follow Type Leave Close");
    row("a version kept before a rename that fails is not left beside itself",
        "foreign: Type Fail@Rename Terminate@Create SaveKey Follow Type Leave Close");
    row("a swap undone after a failed keep keeps what was written into it",
        "foreign: Type Fail@Link WriteInPlace@Looked SaveKey Follow Type Leave Close");
    row("a version touched between keep and rename is kept once",
        "foreign: Type Fail@Exchange Touch@Kept SaveKey Follow Type Leave Close");
    row("a version rewritten in place once kept is kept once",
        "foreign: Type Fail@Exchange WriteInPlace@Kept SaveKey Follow Type Leave Close");
    row("a same-size rewrite at the look where the swap is refused",
        "seen: Type Fail@Exchange SameSizeRewrite@Looked SaveKey Follow Type Leave Close");
    row("a swap undone when the entry was deleted meanwhile",
        "seen: Close@Exchange Fail@Sync Leave Delete@Link RenameOver@Create SaveKey Fail@Link "
        "ChangeFolder Type@Looked SaveKey Touch Symlink Leave");
    row("a link arriving at a later save",
        "seen: Fail@Sync WriteInPlace@Link SaveKey Touch Leave SaveKey@Kept Leave Symlink Delete "
        "Leave RenameOver@Kept Leave Fail@Exchange Leave Symlink@Create Leave Slow@Sync SaveKey "
        "Leave");
    row("a save failing after the folder changed is retried in its own folder",
        "seen: Type Fail@Sync ChangeFolder@Sync SaveKey Follow Type Leave Close");
    row("the same when the keep fails",
        "seen: ChangeFolder@Looked Slow@Sync Leave Follow WriteInPlace Fail@Link SaveKey");
    row("a version written in place between the look and the keep is kept once",
        "foreign: Type Fail@Exchange WriteInPlace@Looked SaveKey Follow Type Leave Close");
    row("the same for an entry that is a link",
        "seen: SameSizeRewrite@Looked ChangeFolder Leave Symlink@Create SaveKey Delete@Create "
        "SaveKey");
    row("a link arriving at the swap, a failed keep and a write into the new text",
        "absent: Symlink@Exchange SaveKey RenameOver Fail@Link WriteInPlace@Link SaveKey Close");
    row("a version renamed over after the swap, then a failed keep",
        "foreign: ChangeFolder@Looked RenameOver@Looked Leave Close@Renamed Fail@Link Slow@Sync "
        "SaveKey Type@Looked SaveKey");
    row("a save at the interval", "absent: SaveKey Close");
    row("a failure taken while the writer still held its job, then the same text saved again",
        "seen: Type Fail@Sync ChangeDay@Posted SaveKey Follow Type Leave Close");
    row("two Orlunes that cannot swap names keep another writer's version once",
        "seen: RefuseSwaps SecondStart Type RenameOver SecondSave@Kept SaveKey Close");
    row("a failed save of one folder is not rescued for the typing in another",
        "seen: Type Fail@Sync ChangeFolder@Sync SaveKey Type Close");
}

void tst_Orderings::foundOrderingsStayFixed()
{
    if (replaying())
        QSKIP("replaying one schedule");
    QFETCH(QString, schedule);
    const std::optional<Schedule> parsed = Schedule::parse(schedule);
    QVERIFY2(parsed, qPrintable(schedule));
    const ScheduleRunner::Result result = m_runner->run(*parsed);
    if (const OpenFinding *finding = openFindingOf(*parsed, result.violations))
        QEXPECT_FAIL("", finding->name, Abort);
    QVERIFY2(result.violations.isEmpty(), qPrintable(result.violations.join(u'\n')));
}

void tst_Orderings::everyPairAtEveryStep()
{
    if (replaying())
        QSKIP("replaying one schedule");
    campaign(everyNth(Schedule::pairs(), pairStride()),
        pairStride() == 1 ? QStringLiteral("every pair at every step")
                          : QStringLiteral("every %1th pair at every step").arg(pairStride()));
}

void tst_Orderings::randomSchedulesFromSeed()
{
    if (replaying())
        QSKIP("replaying one schedule");
    const int left = schedulesAsked() - int(everyNth(Schedule::pairs(), pairStride()).size());
    if (left <= 0)
        QSKIP("the pairs took every schedule asked for");
    // The bounded run takes the same schedules every time, so a test run never fails on a
    // schedule nobody has seen; a longer run asks for more and draws a seed of its own.
    constexpr quint32 kBoundedSeed = 20261209;
    const quint32 seed = qEnvironmentVariableIsSet("ORLUNE_ORDERINGS_SEED")
        ? quint32(qEnvironmentVariableIntValue("ORLUNE_ORDERINGS_SEED"))
        : qEnvironmentVariableIsSet("ORLUNE_ORDERINGS_SCHEDULES")
        ? QRandomGenerator::system()->generate()
        : kBoundedSeed;
    qInfo("seed %u: replay with ORLUNE_ORDERINGS_SEED=%u ORLUNE_ORDERINGS_SCHEDULES=%d", seed, seed,
        schedulesAsked());
    QRandomGenerator random(seed);
    QList<Schedule> schedules;
    for (int i = 0; i < left; ++i)
        schedules << Schedule::random(random);
    campaign(schedules, QStringLiteral("random from seed %1").arg(seed));
}

void tst_Orderings::secondOrluneAtEveryStep()
{
    if (replaying())
        QSKIP("replaying one schedule");
    campaign(everyNth(Schedule::secondOrlunePairs(), pairStride()),
        QStringLiteral("a second Orlune at every step"));
}

void tst_Orderings::hungFlushAtTheEnd()
{
    if (replaying())
        QSKIP("replaying one schedule");
    campaign(Schedule::hungFlushes(), QStringLiteral("a flush that hangs at the end"));
}

void tst_Orderings::replay()
{
    if (!replaying())
        QSKIP("no schedule to replay (ORLUNE_ORDERINGS_SCHEDULE)");
    const QString text = qEnvironmentVariable("ORLUNE_ORDERINGS_SCHEDULE");
    const std::optional<Schedule> schedule = Schedule::parse(text);
    QVERIFY2(schedule, qPrintable(u"not a schedule: "_qs + text));
    m_runner->setKeepFolders(true);
    qInfo("folders kept under %s", qPrintable(m_root->path()));
    m_root->setAutoRemove(false);
    const ScheduleRunner::Result result = m_runner->run(*schedule);
    for (const QString &note : result.notes)
        qInfo("%s", qPrintable(note));
    QVERIFY2(result.violations.isEmpty(), qPrintable(result.violations.join(u'\n')));
}

QTEST_GUILESS_MAIN(tst_Orderings)
#include "tst_orderings.moc"
