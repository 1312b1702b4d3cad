#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Turns SIGTERM and SIGHUP (logout, shutdown, kill) into a call on the GUI thread, through a
// self-pipe: the signal handler only writes a byte, the work happens in the event loop.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(std::function<void()> onSignal, QObject *parent = nullptr);
    ~TerminationSignals() override;

private:
    void readSignal();

    std::function<void()> m_onSignal;
    QSocketNotifier *m_notifier = nullptr;
};
