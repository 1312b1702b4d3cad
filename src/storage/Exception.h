#pragma once

#include <QString>

#include <exception>

// The program's errors: an exception carrying the message the user sees.
class Exception : public std::exception
{
public:
    explicit Exception(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8())
    { }
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The message of any error: ours carries it, anything else says it in the locale's encoding.
inline QString errorMessageOf(const std::exception &error)
{
    if (const auto *ours = dynamic_cast<const Exception *>(&error))
        return ours->message();
    return QString::fromLocal8Bit(error.what());
}
