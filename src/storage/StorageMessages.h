#pragma once

#include "storage/FilePrimitives.h"

#include <QString>

// The texts the storage layer shows the person, in one place, and which one a step's result means.
namespace StorageMessages {

QString cannotCreateDirectory();
QString cannotOpen(const QString &path);
QString cannotCreate(const QString &path);
QString writeError();
QString tooLarge();
QString cannotWrite(const QString &path);
// The entry writer did not finish within the time a close or a termination gives it.
QString writerNotAnswering();
// The same for a close, which keeps the window open with the text.
QString writerNotAnsweringOnClose();

// The message of a failed step on path: create-file for CreateFailed, write error for WriteFailed.
QString forResult(FilePrimitives::Result result, const QString &path);
// Raises forResult's message.
[[noreturn]] void raise(FilePrimitives::Result result, const QString &path);

} // namespace StorageMessages
