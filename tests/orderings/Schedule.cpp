#include "Schedule.h"

#include <QRandomGenerator>
#include <QStringList>

using FileFaults::Step;

namespace {

constexpr Start kStarts[] = {Start::Absent, Start::Seen, Start::Foreign};

Move now(Event event)
{
    return Move {event, std::nullopt};
}

Move at(Event event, Step step)
{
    return Move {event, step};
}

std::optional<Move> parseMove(QStringView word)
{
    const qsizetype sign = word.indexOf(u'@');
    const std::optional<Event> event = eventNamed(sign < 0 ? word : word.left(sign));
    if (!event)
        return std::nullopt;
    if (sign < 0)
        return now(*event);
    const std::optional<Step> step = stepNamed(word.mid(sign + 1));
    if (!step)
        return std::nullopt;
    return at(*event, *step);
}

// Typing first, the armed moves, the save they meet, then what follows it: the watcher
// catching up, more typing, a leave and the close.
Schedule aroundOneSave(Start start, const QList<Move> &armed)
{
    Schedule schedule;
    schedule.start = start;
    schedule.moves << now(Event::Type) << armed << now(Event::SaveKey) << now(Event::Follow)
                   << now(Event::Type) << now(Event::Leave) << now(Event::Close);
    return schedule;
}

} // namespace

QString Schedule::text() const
{
    QStringList words {startName(start) + u':'};
    for (const Move &move : moves)
        words << (move.at ? eventName(move.event) + u'@' + stepName(*move.at)
                          : eventName(move.event));
    return words.join(u' ');
}

std::optional<Schedule> Schedule::parse(const QString &line)
{
    const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty() || !words.front().endsWith(u':'))
        return std::nullopt;
    const std::optional<Start> start = startNamed(QStringView(words.front()).chopped(1));
    if (!start)
        return std::nullopt;
    Schedule schedule;
    schedule.start = *start;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const std::optional<Move> move = parseMove(words[i]);
        if (!move)
            return std::nullopt;
        schedule.moves << *move;
    }
    return schedule;
}

QList<Step> Schedule::interleavingSteps()
{
    return {Step::Create, Step::Sync, Step::Looked, Step::Kept, Step::Renamed};
}

QList<Step> Schedule::faultSteps()
{
    return {Step::Create, Step::Write, Step::Flush, Step::Sync, Step::Link, Step::Rename,
        Step::Exchange};
}

QList<Event> Schedule::singleProcessEvents()
{
    QList<Event> events;
    for (int e = int(Event::Type); e <= int(Event::Symlink); ++e)
        events << Event(e);
    return events;
}

QList<Schedule> Schedule::pairs()
{
    const QList<Event> events = singleProcessEvents();
    QList<Schedule> all;
    for (const Start start : kStarts) {
        for (const Step step : interleavingSteps()) {
            for (const bool refused : {false, true}) {
                for (const Event first : events) {
                    for (const Event second : events) {
                        QList<Move> armed;
                        if (refused)
                            armed << at(Event::Fail, Step::Exchange);
                        armed << at(first, step) << at(second, step);
                        all << aroundOneSave(start, armed);
                    }
                }
            }
            for (const Step faulty : faultSteps()) {
                for (const Event event : events)
                    all << aroundOneSave(start, {at(Event::Fail, faulty), at(event, step)});
            }
        }
    }
    return all;
}

QList<Schedule> Schedule::secondOrlunePairs()
{
    QList<Schedule> all;
    const auto add = [&](Start start, const QList<Move> &armed) {
        Schedule schedule = aroundOneSave(start, armed);
        // The second one has the last word too, then both close.
        schedule.moves.insert(schedule.moves.size() - 1, now(Event::SecondSave));
        schedule.moves.insert(schedule.moves.size() - 1, now(Event::SecondClose));
        all << schedule;
    };
    for (const Start start : {Start::Seen, Start::Foreign}) {
        for (const Step step : interleavingSteps()) {
            for (int e = int(Event::SecondSave); e <= int(Event::SecondStart); ++e)
                add(start, {at(Event(e), step)});
            // Where neither can swap names, the second one's save at each step.
            add(start, {now(Event::RefuseSwaps), at(Event::SecondSave, step)});
        }
    }
    return all;
}

Schedule Schedule::random(QRandomGenerator &random)
{
    const QList<Event> events = singleProcessEvents();
    const QList<Step> points = interleavingSteps() + QList<Step> {Step::Exchange, Step::Link};
    const QList<Step> faults = faultSteps();
    Schedule schedule;
    schedule.start = kStarts[random.bounded(3)];
    const int length = 4 + random.bounded(8);
    for (int i = 0; i < length; ++i) {
        const int kind = random.bounded(10);
        if (kind == 0) {
            schedule.moves << at(Event::Fail, faults[random.bounded(faults.size())]);
        } else if (kind == 1) {
            schedule.moves << at(Event::Slow, Step::Sync);
        } else {
            const Event event = events[random.bounded(events.size())];
            if (random.bounded(2) == 0)
                schedule.moves << now(event);
            else
                schedule.moves << at(event, points[random.bounded(points.size())]);
        }
        // Saves often, so that armed moves meet a writer.
        if (random.bounded(3) != 0)
            schedule.moves << now(random.bounded(2) == 0 ? Event::SaveKey : Event::Leave);
    }
    return schedule;
}
