#pragma once

#include <QByteArray>
#include <QString>

class StagedFile;

// Puts a staged text in place as the entry, on the entry writer's thread, so that no version
// another writer put there since this run last saw it is ever lost.
//
// Where the file system can swap two names atomically, the new text is swapped with whatever
// is at the entry at that instant, and what came back under the temporary name is judged
// against the ledger: this run's own text is removed, another writer's is kept under a
// conflict name. Where nothing is there, the new text takes the name only if nothing took it
// meanwhile. Where the swap is refused (FAT, exFAT, network shares), the entry is looked at,
// another writer's version kept, and looked at again right before the rename: a version that
// arrives between that last look and the rename is lost there.
namespace EntryPlacement {

struct Placed
{
    QString keptFile; // another writer's version kept beside the entry, or empty
    QString error; // the message of the step that failed, or empty
};

// entryPath: the entry as the page names it (the ledger's key); staged: the new text, whose
// target is the entry's file as it was resolved when the save was staged; bytes: its content.
// On success the ledger remembers the new file as this run's own.
Placed place(const QString &entryPath, StagedFile &staged, const QByteArray &bytes);

} // namespace EntryPlacement
