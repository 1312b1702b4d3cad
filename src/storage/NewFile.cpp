#include "NewFile.h"

#include "storage/FileFaults.h"
#include "storage/FilePrimitives.h"

#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using FileFaults::Step;

NewFile::Result NewFile::write(const QString &path, QByteArrayView bytes, mode_t mode)
{
    if (FileFaults::shouldFail(Step::Create, path))
        return Result::CreateFailed;
    const QByteArray native = FilePrimitives::native(path);
    const int fd
        = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return errno == EEXIST ? Result::Taken : Result::CreateFailed;
    bool ok = FilePrimitives::writeAll(fd, bytes, path) && !FileFaults::shouldFail(Step::Sync, path)
        && FileFaults::flush(fd);
    ok = !FileFaults::shouldFail(Step::Flush, path) && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(native.constData());
        return Result::WriteFailed;
    }
    return FilePrimitives::syncFolder(QFileInfo(path).absolutePath()) ? Result::Done
                                                                      : Result::WriteFailed;
}
