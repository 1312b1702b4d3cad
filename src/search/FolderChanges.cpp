#include "FolderChanges.h"

#include <QFile>

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Every way a file in the folder can come, go or change, and the folder itself going.
constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY
    | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

FolderChanges::FolderChanges()
{
    reset();
}

FolderChanges::~FolderChanges()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void FolderChanges::reset()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_missed = true;
}

bool FolderChanges::watch(const QString &folder)
{
    if (m_fd < 0 || ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), kEvents) < 0) {
        m_missed = true;
        return false;
    }
    return true;
}

bool FolderChanges::changed()
{
    bool any = std::exchange(m_missed, false) || m_fd < 0;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got > 0) {
            any = true;
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        break;
    }
    if (m_fd < 0)
        m_missed = true;
    return any;
}
