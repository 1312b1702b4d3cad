#pragma once

#include <QString>

class TextPane;

// Above this many bytes an entry is refused by the pane rather than read into memory.
constexpr qint64 kPaneCapacityBytes = 16 * 1024 * 1024;

QString yearFolderPath(int year);
QString entryFilePath(int year, int month, int day);

// Reads the file into the pane (line breaks normalised); no notification when the text is equal.
void loadEntryFile(TextPane &pane, const QString &path);
// Writes text ("\n" as CR LF, code page 932) by a safe replace: temporary file, flush, rename.
void writeTextFile(const QString &path, const QString &text);
// The owner-write bit of an existing file is clear: such a file is never replaced.
bool isReadOnlyFile(const QString &path);

// What a save did. onDisk: the entry file now holds the text (written, or already there).
// keptFile: another writer's version that was moved aside first, or empty.
struct SavedEntry
{
    bool onDisk = false;
    QString keptFile;
};
// Replaces the entry only while it holds what this run last loaded or wrote there; another
// writer's version is kept beside it first. Writes nothing when the file holds the text already.
SavedEntry saveCurrentEntry(const QString &text, int year, int month, int day);
