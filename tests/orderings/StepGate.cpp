#include "StepGate.h"

#include "storage/EntryLedger.h"

#include <QtGlobal>

using FileFaults::Step;

namespace {

// A pause that nobody releases within this time lets the writer go on, and says so.
constexpr std::chrono::seconds kPauseLimit {10};
// A hung step that the person's last act still waits for after this time is given up: the
// program waited for it.
constexpr std::chrono::seconds kHangLimit {20};

// How far the ledger's clock moves on for Age: past a time stamp's tick.
constexpr long kAged = EntryLedger::kTimestampTickSeconds + 1;

bool needsTestThread(Event event)
{
    return isPersonEvent(event) || event == Event::Follow || event == Event::Deliver
        || isSecondEvent(event);
}

} // namespace

StepGate::StepGate(const QStringList &diaries, Action inlineAction)
    : m_roots(diaries), m_inline(std::move(inlineAction)), m_testThread(std::this_thread::get_id())
{
    EntryLedger::setClockAhead(0);
    FileFaults::setHook([this](Step step, const QString &path) { return onStep(step, path); });
}

StepGate::~StepGate()
{
    FileFaults::setHook({});
    EntryLedger::setClockAhead(0);
}

void StepGate::arm(const Move &move)
{
    const std::lock_guard lock(m_mutex);
    m_armed << move;
}

QList<Move> StepGate::armed() const
{
    const std::lock_guard lock(m_mutex);
    return m_armed;
}

int StepGate::fired() const
{
    const std::lock_guard lock(m_mutex);
    return m_fired;
}

int StepGate::failed() const
{
    const std::lock_guard lock(m_mutex);
    return m_failed;
}

QList<std::pair<Step, QString>> StepGate::failures() const
{
    const std::lock_guard lock(m_mutex);
    return m_failures;
}

QStringList StepGate::notes() const
{
    const std::lock_guard lock(m_mutex);
    return m_notes;
}

bool StepGate::counts(const QString &path) const
{
    return std::any_of(m_roots.begin(), m_roots.end(),
        [&](const QString &root) { return path.startsWith(root + u'/'); });
}

bool StepGate::onStep(Step step, const QString &path)
{
    if (!counts(path))
        return false;
    // A replay can show every step the saves took.
    static const bool traced = qEnvironmentVariableIsSet("ORLUNE_ORDERINGS_TRACE");
    if (traced)
        qInfo("step %s %s", qPrintable(stepName(step)), qPrintable(path));
    std::unique_lock lock(m_mutex);
    // Waiting for the second one's lock, the writer needs the test's thread to let that one go
    // on; any later step says it has stopped waiting.
    m_blocked = step == Step::Busy;
    if (m_blocked)
        m_changed.notify_all();
    const bool onTestThread = std::this_thread::get_id() == m_testThread;
    bool fail = step == Step::Exchange && m_swapsRefused;
    // The moves armed at this step, in the schedule's order; those that need the test's thread
    // end the run here, and they and all after them wait at the step for it.
    QList<Move> here;
    for (qsizetype i = 0; i < m_armed.size();) {
        if (m_armed[i].at == step)
            here << m_armed.takeAt(i);
        else
            ++i;
    }
    qsizetype next = 0;
    for (; next < here.size(); ++next) {
        const Move move = here[next];
        if (needsTestThread(move.event))
            break;
        ++m_fired;
        if (move.event == Event::Fail) {
            fail = true;
            // A refused swap is no failure: the save takes the other way.
            if (step != Step::Exchange) {
                ++m_failed;
                m_failures.append({step, path});
            }
        } else if (move.event == Event::Age) {
            EntryLedger::setClockAhead(kAged);
        } else if (move.event == Event::Hang) {
            m_hanging = true;
            m_changed.notify_all();
            if (!m_changed.wait_for(lock, kHangLimit, [this] { return m_unhung; }))
                m_hangGivenUp = true;
            m_hanging = false;
            // It returns at last with an error, as a share that answers again would.
            fail = true;
            m_failures.append({step, path});
        } else if (move.event == Event::Slow) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            lock.lock();
        } else {
            lock.unlock();
            m_inline(move, path);
            lock.lock();
        }
    }
    const QList<Move> rest = here.mid(next);
    if (!rest.isEmpty()) {
        if (onTestThread || m_held)
            m_armed = rest + m_armed;
        else
            pauseHere(rest, path, lock);
    }
    return fail;
}

void StepGate::pauseHere(
    const QList<Move> &moves, const QString &path, std::unique_lock<std::mutex> &lock)
{
    m_paused = moves;
    m_pausedPath = path;
    m_waiting = true;
    m_released = false;
    m_changed.notify_all();
    if (!m_changed.wait_for(lock, kPauseLimit, [this] { return m_released; }))
        m_notes << QStringLiteral("the writer waited at a step and nobody came");
    m_waiting = false;
    m_paused.clear();
    m_released = false;
}

bool StepGate::runWriter(
    const std::function<bool()> &busy, const Handler &atStep, std::chrono::milliseconds timeout)
{
    // The writer says when a save is done; a save dropped for a newer one says nothing, so the
    // writer is looked at now and then all the same.
    constexpr std::chrono::microseconds kLook {500};
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_waiting && !m_paused.isEmpty()) {
            const QList<Move> moves = std::exchange(m_paused, {});
            const QString path = m_pausedPath;
            m_fired += int(moves.size());
            lock.unlock();
            atStep(moves, path);
            lock.lock();
            // Let go the step just handled, unless the writer already went on (a move waited
            // for it) and now waits at another, whose moves come next.
            if (m_waiting && m_paused.isEmpty()) {
                m_released = true;
                m_changed.notify_all();
            }
            deadline = std::chrono::steady_clock::now() + timeout;
            continue;
        }
        lock.unlock();
        bool working = busy();
        // Told before the writer lets go of the save: it does so within moments.
        for (int spin = 0; working && m_nudged && spin < 100; ++spin) {
            std::this_thread::yield();
            working = busy();
        }
        lock.lock();
        if ((!working || m_blocked || m_hanging) && !(m_waiting && !m_paused.isEmpty()))
            return true;
        if (std::chrono::steady_clock::now() > deadline) {
            // Let it go, so the schedule can end; it has failed.
            m_released = true;
            m_changed.notify_all();
            return false;
        }
        m_changed.wait_for(lock, kLook, [this] {
            return m_nudged || m_blocked || m_hanging || (m_waiting && !m_paused.isEmpty());
        });
        m_nudged = false;
    }
}

void StepGate::age()
{
    EntryLedger::setClockAhead(kAged);
}

bool StepGate::hanging() const
{
    const std::lock_guard lock(m_mutex);
    return m_hanging;
}

bool StepGate::unhang()
{
    const std::lock_guard lock(m_mutex);
    m_unhung = true;
    m_changed.notify_all();
    return !m_hangGivenUp;
}

void StepGate::refuseSwaps()
{
    const std::lock_guard lock(m_mutex);
    m_swapsRefused = true;
}

void StepGate::nudge()
{
    const std::lock_guard lock(m_mutex);
    m_nudged = true;
    m_changed.notify_all();
}

void StepGate::release()
{
    const std::lock_guard lock(m_mutex);
    m_released = true;
    m_changed.notify_all();
}

void StepGate::holdPauses(bool held)
{
    const std::lock_guard lock(m_mutex);
    m_held = held;
}
