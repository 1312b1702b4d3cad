#include "ReadFile.h"

#include "storage/FileFaults.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

ReadFile::ReadFile(const QString &path)
{
    if (FileFaults::shouldFail(FileFaults::Step::OpenRead, path))
        return;
    m_fd
        = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

ReadFile::~ReadFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::optional<QByteArray> ReadFile::readUpTo(qint64 limit) const
{
    return readUpTo(m_fd, limit);
}

std::optional<QByteArray> ReadFile::readUpTo(int fd, qint64 limit)
{
    QByteArray bytes;
    while (bytes.size() <= limit) {
        char buffer[64 * 1024];
        const qint64 want = std::min<qint64>(sizeof buffer, limit + 1 - bytes.size());
        const ssize_t n = ::read(fd, buffer, size_t(want));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    return bytes;
}
