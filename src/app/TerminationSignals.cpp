#include "TerminationSignals.h"

#include "storage/EntryWriter.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    // A close waiting for a disk that does not answer gives up, so the termination's rescue
    // comes at once.
    EntryWriter::interruptWaits();
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject *parent)
    : QObject(parent), m_onSignal(std::move(onSignal))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readSignal(); });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    for (int &fd : signalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TerminationSignals::readSignal()
{
    char buffer[16];
    while (::read(signalPipe[1], buffer, sizeof buffer) > 0) { }
    if (m_onSignal)
        m_onSignal();
}
