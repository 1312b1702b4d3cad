#pragma once

#include "storage/FileFaults.h"

#include <QString>

#include <optional>

// One event of one actor in a schedule, run at once or armed for the next time the writer
// reaches a step.
enum class Event {
    // The person at the page.
    Type, // a keystroke that leaves the length off the autosave interval
    SaveKey, // a keystroke that brings the length onto the interval
    Leave, // the pane loses the focus
    ChangeDay, // another day is shown (back and forth between two days)
    ChangeFolder, // another diary folder is chosen (back and forth between two)
    Compose, // the input method starts composing; the word is confirmed before the next act
    Close, // an ordinary close
    Terminate, // a termination request
    // The page's watcher, catching up with what changed on disk.
    Follow,
    // The writer's news reaching the page, as its queued signal does whenever the event loop
    // turns: at any moment, the writer busy or not.
    Deliver,
    // Another writer (a synchroniser, an editor, a copy tool) on the entry.
    WriteInPlace,
    RenameOver,
    Create,
    Delete,
    Touch,
    SameSizeRewrite, // same length, the old times put back
    Symlink, // the entry replaced by a link to a file holding a new version
    // A second Orlune on the same diary, in a process of its own.
    SecondSave, // it types and saves
    SecondFollow, // it catches up with the disk
    SecondClose, // it closes
    SecondStart, // another one opens the diary (and clears what it takes for crash leftovers)
    // The disk.
    Fail, // the step fails (as EIO or ENOSPC would: the seam does not tell them apart)
    Slow, // the step takes a while
    Hang, // the step does not return (a share that stopped answering) until the person's last
    // act is over; then it fails
    RefuseSwaps, // from now on the file system cannot swap two names (a share), for both Orlunes
    // The clock.
    Age, // the ledger's clock moves on past a time stamp's tick: from now on its records are
    // judged by the files' times alone, as for files written a while before
};

// How the entry of the first shown day stands when the page opens.
enum class Start {
    Absent, // no file
    Seen, // a file the page loads
    Foreign, // a file replaced by another writer after the page loaded it, not yet followed
};

// What the writers' texts are made of, beside their marks.
enum class Texts {
    Plain, // ASCII, one Japanese character typed
    Japanese, // Japanese throughout (trail bytes that are a backslash among them), CR LF breaks
    Foreign, // the other writer's versions hold bytes that are not code page 932 (a zero among
             // them), which every save must keep as they were
};

struct Move
{
    Event event = Event::Type;
    // Armed for the next time the writer reaches this step; none: run at once.
    std::optional<FileFaults::Step> at;
    // Armed at a step of the second Orlune's saves instead (written "Event@2.Step").
    bool second = false;

    bool operator==(const Move &) const = default;
};

QString eventName(Event event);
std::optional<Event> eventNamed(QStringView name);
QString stepName(FileFaults::Step step);
std::optional<FileFaults::Step> stepNamed(QStringView name);
QString startName(Start start);
std::optional<Start> startNamed(QStringView name);
QString textsName(Texts texts);
std::optional<Texts> textsNamed(QStringView name);

// Which actor an event belongs to.
bool isPersonEvent(Event event);
bool isOtherWriterEvent(Event event);
bool isSecondEvent(Event event);
bool isDiskEvent(Event event);
