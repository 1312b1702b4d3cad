#include "Schedule.h"

#include <QRandomGenerator>
#include <QStringList>

using FileFaults::Step;

namespace {

constexpr Start kEveryStart[] = {Start::Absent, Start::Seen, Start::Foreign};
constexpr Texts kTextKinds[] = {Texts::Plain, Texts::Japanese, Texts::Foreign};

// Each schedule of a generated list takes the next kind of text in turn, and every other run of
// them an aged ledger.
QList<Schedule> textsInTurn(QList<Schedule> schedules)
{
    const auto kinds = qsizetype(std::size(kTextKinds));
    for (qsizetype i = 0; i < schedules.size(); ++i) {
        schedules[i].texts = kTextKinds[i % kinds];
        schedules[i].aged = (i / kinds) % 2 == 1;
    }
    return schedules;
}

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
    QStringView where = word.mid(sign + 1);
    const bool second = where.startsWith(u"2.");
    const std::optional<Step> step = stepNamed(second ? where.mid(2) : where);
    if (!step)
        return std::nullopt;
    return Move {*event, *step, second};
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
    QStringList words {startName(start)
        + (texts == Texts::Plain ? QString() : u'/' + textsName(texts))
        + (aged ? u"/aged"_qs : QString()) + u':'};
    for (const Move &move : moves)
        words << (move.at
                ? eventName(move.event) + (move.second ? u"@2."_qs : u"@"_qs) + stepName(*move.at)
                : eventName(move.event));
    return words.join(u' ');
}

std::optional<Schedule> Schedule::parse(const QString &line)
{
    const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty() || !words.front().endsWith(u':'))
        return std::nullopt;
    QStringList head = words.front().chopped(1).split(u'/');
    // As text() writes it: the start, then the texts unless plain, then "aged" if so.
    const bool aged = head.size() > 1 && head.back() == u"aged"_qs;
    if (aged)
        head.removeLast();
    const std::optional<Start> start = startNamed(head.front());
    const std::optional<Texts> texts = head.size() == 1 ? Texts::Plain : textsNamed(head.value(1));
    if (!start || !texts || head.size() > 2)
        return std::nullopt;
    Schedule schedule;
    schedule.start = *start;
    schedule.texts = *texts;
    schedule.aged = aged;
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
    return {Step::Create, Step::Sync, Step::Looked, Step::Kept, Step::Renamed, Step::Posted};
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
    for (const Start start : kEveryStart) {
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
    return textsInTurn(all);
}

QList<Schedule> Schedule::secondOrlunePairs()
{
    QList<Schedule> all;
    const auto add = [&](Start start, const QList<Move> &before, const QList<Move> &armed) {
        Schedule schedule = aroundOneSave(start, armed);
        schedule.moves = before + schedule.moves;
        // The second one has the last word too, then both close.
        schedule.moves.insert(schedule.moves.size() - 1, now(Event::SecondSave));
        schedule.moves.insert(schedule.moves.size() - 1, now(Event::SecondClose));
        all << schedule;
    };
    const QList<Event> secondEvents {
        Event::SecondSave, Event::SecondFollow, Event::SecondClose, Event::SecondStart};
    for (const bool refused : {false, true}) {
        const QList<Move> swaps = refused ? QList<Move> {now(Event::RefuseSwaps)} : QList<Move> {};
        // Its events at every step of the first one's save: it starts with that event, or it
        // was open before another writer's version came, so that both meet that as another's.
        for (const Step step : interleavingSteps()) {
            for (const Event event : secondEvents) {
                add(Start::Seen, swaps, {at(event, step)});
                add(Start::Foreign, swaps, {at(event, step)});
                add(Start::Seen,
                    swaps + QList<Move> {now(Event::SecondStart), now(Event::RenameOver)},
                    {at(event, step)});
            }
        }
        // Its own save paused at every step, with every event of the first one's process
        // there; its start (which clears leftovers) comes after the typing, so it meets the
        // first one's temporaries.
        const QList<Move> opened = swaps
            + QList<Move> {now(Event::Type), now(Event::SecondStart), now(Event::RenameOver)};
        for (const Step step : interleavingSteps()) {
            for (const Event event : singleProcessEvents()) {
                Move move = at(event, step);
                move.second = true;
                add(Start::Seen, opened, {move, now(Event::SecondSave)});
            }
        }
        // And each of its steps failing.
        for (const Step step : faultSteps()) {
            Move move = at(Event::Fail, step);
            move.second = true;
            add(Start::Seen, opened, {move, now(Event::SecondSave)});
        }
    }
    return textsInTurn(all);
}

QList<Schedule> Schedule::hungFlushes()
{
    QList<Schedule> all;
    // Each costs the time a person's last act may wait (StepGate's hang limit): few of them.
    for (const Event end : {Event::Close, Event::Terminate}) {
        Schedule schedule;
        schedule.moves << now(Event::Type) << at(Event::Hang, Step::Sync) << now(Event::SaveKey)
                       << now(Event::Type) << now(end);
        all << schedule;
    }
    return textsInTurn(all);
}

Schedule Schedule::random(QRandomGenerator &random)
{
    const QList<Event> events = singleProcessEvents() + QList<Event> {Event::Age};
    const QList<Event> secondEvents {
        Event::SecondSave, Event::SecondSave, Event::SecondFollow, Event::SecondStart};
    const QList<Step> points = interleavingSteps() + QList<Step> {Step::Exchange, Step::Link};
    const QList<Step> faults = faultSteps();
    Schedule schedule;
    schedule.start = kEveryStart[random.bounded(3)];
    schedule.texts = kTextKinds[random.bounded(3)];
    schedule.aged = random.bounded(4) == 0;
    // One schedule in four has a second Orlune, its events and moves at its steps.
    const bool withSecond = random.bounded(4) == 0;
    const auto where = [&](Move move) {
        move.second = withSecond && random.bounded(3) == 0;
        return move;
    };
    const int length = 4 + random.bounded(8);
    for (int i = 0; i < length; ++i) {
        const int kind = random.bounded(10);
        if (kind == 0) {
            schedule.moves << where(at(Event::Fail, faults[random.bounded(faults.size())]));
        } else if (kind == 1) {
            schedule.moves << where(at(Event::Slow, Step::Sync));
        } else if (kind == 2 && withSecond) {
            const Event event = secondEvents[random.bounded(secondEvents.size())];
            if (random.bounded(2) == 0)
                schedule.moves << now(event);
            else
                schedule.moves << at(event, points[random.bounded(points.size())]);
        } else {
            const Event event = events[random.bounded(events.size())];
            if (random.bounded(2) == 0)
                schedule.moves << now(event);
            else
                schedule.moves << where(at(event, points[random.bounded(points.size())]));
        }
        // Saves often, so that armed moves meet a writer.
        if (random.bounded(3) != 0)
            schedule.moves << now(random.bounded(2) == 0 ? Event::SaveKey : Event::Leave);
        if (withSecond && random.bounded(4) == 0)
            schedule.moves << now(Event::SecondSave);
    }
    return schedule;
}
