#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A file opened for reading for one operation, closed with the object.
class ReadFile
{
public:
    // Non-blocking, so that a FIFO named like an entry cannot hang the program.
    explicit ReadFile(const QString &path);
    ~ReadFile();
    ReadFile(const ReadFile &) = delete;
    ReadFile &operator=(const ReadFile &) = delete;

    int fd() const { return m_fd; }
    // At most limit + 1 bytes, so an oversized file is refused without being read whole.
    std::optional<QByteArray> readUpTo(qint64 limit) const;
    // The same from any file descriptor, from where it stands.
    static std::optional<QByteArray> readUpTo(int fd, qint64 limit);

private:
    int m_fd = -1;
};
