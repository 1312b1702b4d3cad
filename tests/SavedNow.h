#pragma once

#include "storage/EntryFiles.h"
#include "storage/EntryWriter.h"
#include "storage/Exception.h"

#include <QString>

// A save as a caller sees it once the entry writer has put it in place: a failure on the
// writer's thread is raised here, and the version kept beside the entry first is given.
struct SavedNow
{
    bool onDisk = false;
    QString keptFile;
};

inline SavedNow saveNow(const QString &text, int year, int month, int day)
{
    const SavedEntry handed = saveCurrentEntry(text, year, month, day);
    EntryWriter::instance().waitForAll();
    SavedNow saved {handed.onDisk, QString()};
    for (const EntryWriter::Outcome &outcome : EntryWriter::instance().takeOutcomes()) {
        if (!outcome.error.isEmpty())
            throw Exception(outcome.error);
        saved.keptFile = outcome.keptFile;
    }
    return saved;
}
