#include "SecondOrlune.h"

#include "storage/Settings.h"

#include <QProcessEnvironment>

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

bool SecondOrlune::start()
{
    if (m_started)
        return m_process.state() == QProcess::Running;
    m_started = true;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dataHome);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(m_program,
        {m_diary, m_entry.date.toString(Qt::ISODate), QString::number(CharsToSave),
            m_swapsRefused ? u"refuse"_qs : u"swap"_qs});
    if (!m_process.waitForStarted(kAnswerMs)) {
        m_problems
            << QStringLiteral("the second Orlune did not start: %1").arg(m_process.errorString());
        return false;
    }
    return ask("open").has_value();
}

std::optional<QByteArray> SecondOrlune::ask(const QByteArray &command)
{
    m_process.write(command + '\n');
    QByteArray line;
    while (!line.endsWith('\n')) {
        if (!m_process.canReadLine() && !m_process.waitForReadyRead(kAnswerMs)) {
            m_problems << QStringLiteral("the second Orlune did not answer \"%1\"")
                              .arg(QString::fromLatin1(command));
            m_process.kill();
            m_process.waitForFinished(kAnswerMs);
            return std::nullopt;
        }
        if (m_process.canReadLine())
            line = m_process.readLine();
    }
    return line.trimmed();
}

void SecondOrlune::act(Event event)
{
    if (m_closed)
        return;
    if (!start() || event == Event::SecondStart)
        return;
    if (event == Event::SecondSave)
        return save();
    if (event == Event::SecondFollow)
        ask("follow");
    if (event == Event::SecondClose) {
        ask("close");
        m_closed = true;
    }
}

void SecondOrlune::save()
{
    const QByteArray mark = m_history.mark(QStringLiteral("[2nd-")).toLatin1() + "]";
    // It answers with what its pane held before the mark was typed at its end.
    const std::optional<QByteArray> answer = ask("save " + mark);
    if (!answer)
        return;
    const QByteArray seen = QByteArray::fromHex(*answer);
    m_history.add(History::Writer::Second, m_entry, seen + mark, seen);
}

void SecondOrlune::finish()
{
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
