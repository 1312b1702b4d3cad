#pragma once

#include <QByteArrayView>
#include <QString>

#include <sys/types.h>

// Makes a file that did not exist: created exclusively (a file of that name, or a symbolic link,
// is never replaced or followed), written, flushed, closed, and its folder flushed. A step that
// fails removes what was created. The steps ask the fault hook by the new file's path.
namespace NewFile {

enum class Result { Done, Taken, CreateFailed, WriteFailed };

Result write(const QString &path, QByteArrayView bytes, mode_t mode);

} // namespace NewFile
