#include "SecondOrlune.h"

#include "storage/Settings.h"

#include <QProcessEnvironment>
#include <QScopedValueRollback>

namespace {

constexpr int kAnswerMs = 10000;

} // namespace

SecondOrlune::SecondOrlune(History &history, const QString &program, const QString &diary,
    const History::Entry &entry, const QString &dataHome)
    : m_history(history), m_program(program), m_diary(diary), m_entry(entry), m_dataHome(dataHome)
{ }

SecondOrlune::~SecondOrlune()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // Stopped by its own id, never by name.
    m_process.kill();
    m_process.waitForFinished(kAnswerMs);
}

void SecondOrlune::launch()
{
    if (m_launched)
        return;
    m_launched = true;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dataHome);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // With a modifier, Qt starts the child from a copy of this process rather than inside its
    // memory (vfork), where ThreadSanitizer would take the child's steps for this one's.
    m_process.setChildProcessModifier([] {});
    m_process.start(m_program,
        {m_diary, m_entry.date.toString(Qt::ISODate), QString::number(CharsToSave),
            m_swapsRefused ? u"refuse"_qs : u"swap"_qs});
    if (!m_process.waitForStarted(kAnswerMs))
        m_problems
            << QStringLiteral("the second Orlune did not start: %1").arg(m_process.errorString());
}

bool SecondOrlune::start()
{
    if (m_started)
        return m_process.state() == QProcess::Running;
    m_started = true;
    launch();
    if (m_process.state() != QProcess::Running)
        return false;
    for (const Move &move : QList<Move>(m_armed))
        sendArm(move);
    return ask("open").has_value();
}

void SecondOrlune::refuseSwaps()
{
    m_swapsRefused = true;
    // Taken even while it waits at a step; it answers nothing.
    if (m_launched && m_process.state() == QProcess::Running)
        send("refuse");
}

void SecondOrlune::arm(const Move &move)
{
    if (move.event == Event::Fail)
        m_faultsArmed << *move.at;
    m_armed << move;
    if (m_started && m_process.state() == QProcess::Running)
        sendArm(move);
}

void SecondOrlune::sendArm(const Move &move)
{
    const bool fail = move.event == Event::Fail;
    ask("arm " + stepName(*move.at).toLatin1() + (fail ? " fail" : " pause"));
    // A fault is the process's own from now on; a pause comes back to be run here.
    if (fail)
        m_armed.removeOne(move);
}

bool SecondOrlune::send(const QByteArray &command)
{
    // On its way at once: the test's thread may wait for the writer next, which may wait for
    // this process.
    return m_process.write(command + '\n') == command.size() + 1
        && m_process.waitForBytesWritten(kAnswerMs);
}

std::optional<QByteArray> SecondOrlune::readUntil(
    const QByteArray &command, const std::function<bool(const QByteArray &line)> &done)
{
    for (;;) {
        if (!m_process.canReadLine() && !m_process.waitForReadyRead(kAnswerMs)) {
            m_problems << QStringLiteral("the second Orlune did not answer \"%1\"")
                              .arg(QString::fromLatin1(command));
            m_process.kill();
            m_process.waitForFinished(kAnswerMs);
            return std::nullopt;
        }
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (done(line))
                return line;
            if (!line.startsWith("paused "))
                continue;
            // Its moves run while it waits, then it goes on. The first one's close waits for
            // its writer, which may wait for this one's lock: that runs once this one goes on.
            const std::optional<FileFaults::Step> step
                = stepNamed(QString::fromLatin1(line.mid(7)));
            QList<Move> here;
            for (qsizetype i = 0; i < m_armed.size();) {
                if (m_armed[i].at == step)
                    here << m_armed.takeAt(i);
                else
                    ++i;
            }
            const auto closing = std::find_if(here.begin(), here.end(), [](const Move &move) {
                return move.event == Event::Close || move.event == Event::Terminate;
            });
            const QList<Move> after(closing, here.end());
            here.erase(closing, here.end());
            const QScopedValueRollback busy(m_paused, true);
            if (m_atStep)
                m_atStep(here);
            send("go");
            if (m_atStep && !after.isEmpty())
                m_atStep(after);
        }
    }
}

std::optional<QByteArray> SecondOrlune::ask(
    const QByteArray &command, const QByteArray &end, bool mayWait)
{
    if (!send(command))
        return std::nullopt;
    // Waiting for the first one's lock, it is left to go on while the first one does.
    const std::optional<QByteArray> answer = readUntil(command,
        [&](const QByteArray &line) { return line == end || (mayWait && line == "busy"); });
    if (answer == "busy")
        m_inFlight = end;
    return answer;
}

void SecondOrlune::act(Event event)
{
    // Waiting at a step of its own, it does nothing else.
    if (m_closed || m_paused)
        return;
    if (!start() || event == Event::SecondStart)
        return;
    settle();
    if (event == Event::SecondSave)
        return save();
    if (event == Event::SecondFollow)
        ask("follow", "ok");
    if (event == Event::SecondClose) {
        ask("close", "ok", true);
        m_closed = true;
    }
}

void SecondOrlune::save()
{
    const QByteArray mark = m_history.mark(QStringLiteral("[2nd-")).toLatin1() + "]";
    // It answers with what its pane held before the mark was typed at its end.
    const QByteArray command = "save " + mark;
    if (!send(command))
        return;
    const std::optional<QByteArray> typed
        = readUntil(command, [](const QByteArray &line) { return line.startsWith("typed"); });
    if (!typed)
        return;
    // An empty pane's answer is "typed" alone once the line is trimmed.
    const QByteArray seen = QByteArray::fromHex(typed->mid(5).trimmed());
    m_history.add(History::Writer::Second, m_entry, seen + mark, seen);
    const std::optional<QByteArray> end = readUntil(
        command, [](const QByteArray &line) { return line == "saved" || line == "busy"; });
    if (end == "busy")
        m_inFlight = "saved";
}

void SecondOrlune::settle()
{
    if (m_inFlight.isEmpty() || m_paused || m_process.state() != QProcess::Running)
        return;
    const QByteArray end = std::exchange(m_inFlight, {});
    readUntil(end, [&](const QByteArray &line) { return line == end; });
}

void SecondOrlune::finish()
{
    settle();
    if (m_started && !m_closed && m_process.state() == QProcess::Running)
        ask("close");
    m_closed = true;
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(kAnswerMs)) {
        m_problems << QStringLiteral("the second Orlune did not end");
        m_process.kill();
        m_process.waitForFinished(kAnswerMs);
    }
}
