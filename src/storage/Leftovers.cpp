#include "Leftovers.h"

#include "storage/Exception.h"
#include "storage/FilePrimitives.h"
#include "storage/KeptVersion.h"
#include "storage/PaneCapacity.h"
#include "storage/ReadFile.h"
#include "storage/StagedFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A leftover opened and locked, so that no writer takes it up meanwhile.
class LockedLeftover
{
public:
    explicit LockedLeftover(const QString &path) : m_path(path)
    {
        m_fd = ::open(FilePrimitives::native(path).constData(),
            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (m_fd >= 0
            && (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 || !StagedFile::isNamed(m_fd, path))) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~LockedLeftover()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LockedLeftover(const LockedLeftover &) = delete;
    LockedLeftover &operator=(const LockedLeftover &) = delete;

    bool isLocked() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    bool isEmpty() const
    {
        struct stat st
        {
        };
        return ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
    }
    void remove() const { ::unlink(FilePrimitives::native(m_path).constData()); }

private:
    QString m_path;
    int m_fd = -1;
};

std::optional<QByteArray> bytesAt(const QString &path)
{
    const ReadFile file(path);
    return file.fd() >= 0 ? file.readUpTo(kPaneCapacityBytes) : std::nullopt;
}

} // namespace

QString Leftovers::clear(const QString &target, Kind kind)
{
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    std::optional<std::optional<QByteArray>> entryBytes;
    QString kept;
    for (const QString &name : names) {
        if (!StagedFile::isTemporaryOf(name, info.fileName()))
            continue;
        const QString path = folder + u'/' + name;
        const LockedLeftover leftover(path);
        if (!leftover.isLocked())
            continue;
        if (kind == Kind::Replace || leftover.isEmpty()) {
            leftover.remove();
            continue;
        }
        if (!entryBytes)
            entryBytes = bytesAt(target);
        if (*entryBytes && ReadFile::readUpTo(leftover.fd(), kPaneCapacityBytes) == **entryBytes) {
            leftover.remove();
            continue;
        }
        try {
            kept = KeptVersion::keepTemporary(
                path, leftover.fd(), target, QDateTime::currentDateTime());
        } catch (const Exception &) {
            // Left where it is: the next clean-up tries again.
        }
    }
    if (!kept.isEmpty())
        FilePrimitives::syncFolder(folder);
    return kept;
}
