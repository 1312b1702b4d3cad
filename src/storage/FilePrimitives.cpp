#include "FilePrimitives.h"

#include "storage/FileFaults.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using FileFaults::Step;

namespace {

constexpr qsizetype kChunkBytes = 64 * 1024;

} // namespace

namespace FilePrimitives {

bool sameTime(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

bool syncFolder(const QString &folder)
{
    if (FileFaults::shouldFail(Step::Sync, folder))
        return false;
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = FileFaults::flush(fd) || errno == EINVAL || errno == ENOTSUP;
    ::close(fd);
    return ok;
}

bool makeFolder(const QString &folder, unsigned mode)
{
    if (FileFaults::shouldFail(Step::MakeDir, folder))
        return false;
    if (::mkdir(native(folder).constData(), mode_t(mode)) != 0) {
        struct stat st
        {
        };
        if (errno != EEXIST || ::stat(native(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
    }
    return syncFolder(QFileInfo(folder).absolutePath());
}

bool writeAll(int fd, QByteArrayView bytes, const QString &path)
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

bool refusesLinks(int error)
{
    return error == EPERM || error == EXDEV || error == ENOTSUP || error == EMLINK
        || error == EOPNOTSUPP || error == EINVAL || error == ENOSYS;
}

bool refusesRenameFlags(int error)
{
    return error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

} // namespace FilePrimitives
