#pragma once

#include "storage/PaneCapacity.h"

#include <QString>

#include <optional>

class TextPane;

QString yearFolderPath(int year);
QString entryFilePath(int year, int month, int day);
// The same paths under a diary folder other than the setting's.
QString yearFolderPathIn(const QString &folder, int year);
QString entryFilePathIn(const QString &folder, int year, int month, int day);

// Reads the file into the pane (line breaks normalised); no notification when the text is equal.
// An entry with a save in flight shows the text being saved. Raises the open error when no file
// is there.
void loadEntryFile(TextPane &pane, const QString &path);
// What an entry holds, line breaks normalised: the text of a save in flight when there is one,
// else the file's; none when no file is there. The ledger remembers what was seen, the file or
// its absence, so the next save knows what it may replace. Raises the open error for a file that
// cannot be read, the size error for one the pane cannot hold.
std::optional<QString> readEntry(const QString &path);
// Writes text ("\n" as CR LF, code page 932) by a safe replace: temporary file, flush, rename.
void writeTextFile(const QString &path, const QString &text);
// A save of the entry is in flight: a load shows its text even before the file exists.
bool isSavePending(const QString &path);
// The owner-write bit of an existing file is clear: such a file is never replaced.
bool isReadOnlyFile(const QString &path);
// The file a symbolic link at path names, when it does not exist and no folder is there to make
// it in (a save can never go through); else empty.
QString unreachableLinkTarget(const QString &path);

// What a save did. onDisk: the entry file holds the text, or will once the entry writer has put
// it in place (a failure there, and another writer's version kept first, come as the writer's
// outcomes).
struct SavedEntry
{
    bool onDisk = false;
};
// Replaces the entry only while it holds what this run last loaded or wrote there; another
// writer's version is kept beside it first. Writes nothing when the file holds the text already,
// or a save in flight does. The new text is written to a temporary file here; the entry writer
// flushes it and puts it in place.
SavedEntry saveCurrentEntry(const QString &text, int year, int month, int day);
// The same save into the diary folder named, whatever the setting says.
SavedEntry saveEntryIn(const QString &folder, const QString &text, int year, int month, int day);
