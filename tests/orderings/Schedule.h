#pragma once

#include "Move.h"

#include <QList>
#include <QString>

class QRandomGenerator;

// The start of the page, what the texts are made of and the moves of every actor, in order.
// Written as one line, e.g. "foreign: Type RenameOver@Looked SaveKey Close" (plain texts) or
// "seen/japanese: Type SaveKey Close", which is also how a schedule is replayed.
class Schedule
{
public:
    Start start = Start::Seen;
    Texts texts = Texts::Plain;
    // The ledger's clock is past a time stamp's tick from the start (see Event::Age), written
    // "seen/aged:".
    bool aged = false;
    QList<Move> moves;

    QString text() const;
    // nullopt when the line is not a schedule.
    static std::optional<Schedule> parse(const QString &line);

    // Every pair of events at every step point where another actor can come in, for every
    // start, each with and without the swap refused; and every fault with every event at every
    // such point. The kinds of text take turns, and so does an aged ledger.
    static QList<Schedule> pairs();
    // Second Orlune: each of its events at every step point of the first one's save, and every
    // event of the first one's process and every fault at every step point of its own, each
    // with and without the swap refused.
    static QList<Schedule> secondOrlunePairs();
    // A flush that hangs while the person closes or the session ends.
    static QList<Schedule> hungFlushes();
    // A longer schedule, drawn from the generator: one in four has a second Orlune too.
    static Schedule random(QRandomGenerator &random);

    // The steps where the writer can be interrupted, and those that can fail.
    static QList<FileFaults::Step> interleavingSteps();
    static QList<FileFaults::Step> faultSteps();
    // The events of one process: the person, the watcher, the other writer.
    static QList<Event> singleProcessEvents();
};
