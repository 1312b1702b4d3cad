#pragma once

#include "storage/AtomicFile.h"

#include <QString>

// The texts the storage layer shows the person, in one place, and which one a step's result means.
namespace StorageMessages {

QString cannotCreateDirectory();
QString cannotOpen(const QString &path);
QString cannotCreate(const QString &path);
QString writeError();
QString tooLarge();
QString cannotWrite(const QString &path);

// The message of a failed step on path: create-file for CreateFailed, write error for WriteFailed.
QString forResult(AtomicFile::Result result, const QString &path);
// Raises forResult's message.
[[noreturn]] void raise(AtomicFile::Result result, const QString &path);

} // namespace StorageMessages
