#include "ScheduleRunner.h"

#include "History.h"
#include "Oracle.h"
#include "OtherWriter.h"
#include "Person.h"
#include "SecondOrlune.h"
#include "StepGate.h"
#include "storage/EntryWriter.h"
#include "storage/Settings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>

#include <chrono>

namespace {

// Far beyond any save here and beyond a pause nobody releases (StepGate: 10 s), so that only a
// writer that is stuck fails, not a busy machine.
constexpr std::chrono::seconds kWriterLimit {30};
const QDate kFirstDay(2026, 12, 8);

// The entry a step's file belongs to: FOLDER/YYYY/MMDD.txt, a temporary or copy beside it
// (".MMDD…", "MMDD…"), or the year folder itself (then the one met last).
std::optional<QString> entryOfStep(const QString &root, const QString &path)
{
    static const QRegularExpression shape(
        QStringLiteral("^([AB])/(\\d{4})/\\.?(\\d\\d)(\\d\\d)[^/]*$"));
    const auto match = shape.match(path.mid(root.size() + 1));
    if (!match.hasMatch())
        return std::nullopt;
    return QStringLiteral("%1/%2/%3/%4%5.txt")
        .arg(root, match.captured(1), match.captured(2), match.captured(3), match.captured(4));
}

History::Entry entryOfPath(const QString &root, const QString &entryPath)
{
    const QStringList parts = entryPath.mid(root.size() + 1).split(u'/');
    return History::Entry {
        parts[0], QDate(parts[1].toInt(), parts[2].left(2).toInt(), parts[2].mid(2, 2).toInt())};
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

ScheduleRunner::ScheduleRunner(const QString &root, const QString &secondProgram)
    : m_root(root), m_secondProgram(secondProgram)
{ }

ScheduleRunner::Result ScheduleRunner::run(const Schedule &schedule)
{
    Result result;
    const QString root = QStringLiteral("%1/run%2").arg(m_root).arg(++m_runs);
    const QMap<QString, QString> folders {{u"A"_qs, root + u"/A"_qs}, {u"B"_qs, root + u"/B"_qs}};
    const QString dataHome = root + u"/data"_qs;
    QDir().mkpath(folders[u"A"_qs]);
    QDir().mkpath(folders[u"B"_qs]);
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));

    History history;
    OtherWriter other(history, schedule.texts);
    const auto entryPath = [&](const QString &folder, const QDate &day) {
        return QStringLiteral("%1/%2/%3.txt")
            .arg(folders[folder])
            .arg(day.year())
            .arg(day.toString(u"MMdd"_qs));
    };
    // What is on disk before the page opens: both days in folder A, the first in B.
    const auto seed = [&](const QString &folder, const QDate &day) {
        const QByteArray bytes = other.newVersion(std::nullopt);
        if (writeFile(entryPath(folder, day), bytes))
            history.add(History::Writer::Other, {folder, day}, bytes, std::nullopt);
    };
    if (schedule.start != Start::Absent)
        seed(u"A"_qs, kFirstDay);
    seed(u"A"_qs, kFirstDay.addDays(1));
    seed(u"B"_qs, kFirstDay);

    Person person(history, folders, kFirstDay, schedule.texts);
    SecondOrlune second(history, m_secondProgram, folders[u"A"_qs], {u"A"_qs, kFirstDay}, dataHome);
    QString lastEntry = entryPath(u"A"_qs, kFirstDay);
    StepGate *gatePointer = nullptr;

    // The other writer at a step: on the entry the step was for.
    // A link that takes an entry's name after a save was staged makes that save fail, as a
    // failed step would.
    QList<History::Entry> linked;
    const auto otherAt = [&](const Move &move, const QString &path) {
        if (const std::optional<QString> entry = entryOfStep(root, path))
            lastEntry = *entry;
        if (move.event == Event::Symlink)
            linked << entryOfPath(root, lastEntry);
        other.act(move.event, lastEntry, entryOfPath(root, lastEntry));
    };
    StepGate gate(folders.values(), otherAt);
    const QMetaObject::Connection news = QObject::connect(
        &EntryWriter::instance(), &EntryWriter::outcomesReady, [&gate] { gate.nudge(); });
    const auto disconnect = qScopeGuard([&] { QObject::disconnect(news); });
    gatePointer = &gate;

    const QStringList entries {entryPath(u"A"_qs, kFirstDay),
        entryPath(u"A"_qs, kFirstDay.addDays(1)), entryPath(u"B"_qs, kFirstDay),
        entryPath(u"B"_qs, kFirstDay.addDays(1))};
    // The writer is at work until it has told of every save handed to it.
    const auto busy = [] { return !EntryWriter::instance().isIdle(); };
    std::function<void(const Move &, const QString &)> runNow;
    const auto atStep = [&](const QList<Move> &moves, const QString &path) {
        for (const Move &move : moves)
            runNow(Move {move.event, std::nullopt}, path);
    };
    const auto settle = [&] {
        if (!gatePointer->runWriter(busy, atStep, kWriterLimit))
            result.violations << QStringLiteral("the writer neither finished nor stopped");
        person.takeNews();
        second.settle();
    };
    // While the second one waits at one of its steps: the other writer acts on its entry.
    second.setAtStep([&](const QList<Move> &moves) {
        for (const Move &move : moves) {
            runNow(Move {move.event, std::nullopt}, entryPath(u"A"_qs, kFirstDay));
            settle();
        }
    });
    runNow = [&](const Move &move, const QString &path) {
        const Event event = move.event;
        if (isOtherWriterEvent(event)) {
            if (path.isEmpty() && !person.isClosed())
                otherAt(move, person.shownPath());
            else
                otherAt(move, path);
        } else if (event == Event::Age) {
            StepGate::age();
        } else if (event == Event::RefuseSwaps) {
            gatePointer->refuseSwaps();
            second.refuseSwaps();
        } else if (isSecondEvent(event)) {
            second.act(event);
        } else if (event == Event::Close || event == Event::Terminate) {
            // They wait for the writer: it goes on, and nothing more stops it meanwhile.
            gatePointer->holdPauses(true);
            gatePointer->release();
            person.act(event);
            gatePointer->holdPauses(false);
        } else if (!isDiskEvent(event)) {
            person.act(event);
        }
    };

    // The oracle's judgement of the folders as they are now.
    const auto judge = [&] {
        // Only a failure after the swap (keeping what came back, or the folder's flush) or a link
        // arriving leaves a text at its entry that its save reports failed: the entry's and the
        // copies' rules are relaxed for those alone.
        Oracle::Faults faults {!linked.isEmpty(), linked, person.terminated()};
        const QList<std::pair<FileFaults::Step, QString>> failures = gate.failures();
        for (const auto &[step, path] : failures) {
            const QString name = path.section(u'/', -1);
            faults.savesFailed = faults.savesFailed || step == FileFaults::Step::Link
                || (!name.startsWith(u'.') && !name.endsWith(u".txt"_qs) && name != u"linked"_qs)
                || name.contains(u".conflict-"_qs);
            if (const std::optional<QString> entry = entryOfStep(root, path))
                faults.refusals << entryOfPath(root, *entry);
            else // a year folder: any of its entries
                for (const QString &each : entries)
                    faults.refusals << entryOfPath(root, each);
        }
        // A flush that still hangs holds every save behind it: the folder answers nothing, so a
        // text rescued meanwhile is rescued rightly.
        if (gate.hanging()) {
            for (const QString &each : entries)
                faults.refusals << entryOfPath(root, each) << entryOfPath(root, each);
        }
        // A fault of the second one fails its save, which its close retries once; its Sync may be
        // the folder's, after the rename.
        for (const FileFaults::Step step : second.faultsArmed()) {
            faults.refusals << History::Entry {u"A"_qs, kFirstDay};
            faults.savesFailed = faults.savesFailed || step == FileFaults::Step::Link
                || step == FileFaults::Step::Sync || step == FileFaults::Step::Create;
        }
        return Oracle(history, folders, dataHome + u"/orlune/rescue"_qs, faults).violations();
    };

    if (std::any_of(schedule.moves.begin(), schedule.moves.end(),
            [](const Move &move) { return move.second || isSecondEvent(move.event); }))
        second.launch();
    if (schedule.aged)
        StepGate::age();
    person.open();
    if (schedule.start == Start::Foreign)
        other.act(Event::RenameOver, entryPath(u"A"_qs, kFirstDay), {u"A"_qs, kFirstDay});
    for (const Move &move : schedule.moves) {
        if (move.at && move.second) {
            second.arm(move);
            continue;
        }
        if (move.at) {
            gate.arm(move);
            continue;
        }
        runNow(move, QString());
        settle();
    }
    gate.holdPauses(true);
    person.finish();
    // A flush that hangs still: the session's end kills the program now, so the folders are
    // judged as they are; then the flush is let go, as the kill would.
    const bool hung = gate.hanging();
    std::optional<QStringList> atKill;
    if (hung)
        atKill = judge();
    if (!gate.unhang())
        result.violations << QStringLiteral("the person's last act waited for a hung flush");
    settle();
    second.finish();
    person.leaveProgram();
    result.fired = gate.fired();
    result.unfired = int(gate.armed().size());
    result.notes << gate.notes();
    for (const QString &message : person.messages())
        result.notes << u"the person was shown: "_qs + message;
    result.violations << second.problems();
    result.violations << (atKill ? *atKill : judge());
    if (!m_keep)
        QDir(root).removeRecursively();
    return result;
}
