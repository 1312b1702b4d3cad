#include "NewFile.h"

#include "storage/AtomicFile.h"
#include "storage/FileFaults.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using FileFaults::Step;

namespace {

constexpr qsizetype kChunkBytes = 64 * 1024;

} // namespace

bool NewFile::writeAll(int fd, QByteArrayView bytes, const QString &path)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (FileFaults::shouldFail(Step::Write, path))
            return false;
        const qsizetype chunk = std::min(kChunkBytes, bytes.size() - done);
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(chunk));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

NewFile::Result NewFile::write(const QString &path, QByteArrayView bytes, mode_t mode)
{
    if (FileFaults::shouldFail(Step::Create, path))
        return Result::CreateFailed;
    const QByteArray native = QFile::encodeName(path);
    const int fd
        = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return errno == EEXIST ? Result::Taken : Result::CreateFailed;
    bool ok = writeAll(fd, bytes, path) && !FileFaults::shouldFail(Step::Sync, path)
        && FileFaults::flush(fd);
    ok = !FileFaults::shouldFail(Step::Flush, path) && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(native.constData());
        return Result::WriteFailed;
    }
    return AtomicFile::syncFolder(QFileInfo(path).absolutePath()) ? Result::Done
                                                                  : Result::WriteFailed;
}
