#include "OtherWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

// What the entry holds now, read through a link; none when there is no file.
std::optional<QByteArray> current(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool writeWhole(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool writeNew(const QString &path, const QByteArray &bytes, int flags)
{
    QDir().mkpath(QFileInfo(path).path());
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CLOEXEC | flags, 0644);
    if (fd < 0)
        return false;
    const bool ok = writeWhole(fd, bytes);
    ::close(fd);
    return ok;
}

} // namespace

void OtherWriter::act(Event event, const QString &entryPath, const History::Entry &entry)
{
    switch (event) {
    case Event::WriteInPlace:
        return writeInPlace(entryPath, entry);
    case Event::RenameOver:
        return renameOver(entryPath, entry);
    case Event::Create:
        return create(entryPath, entry);
    case Event::Delete:
        return remove(entryPath, entry);
    case Event::Touch:
        return touch(entryPath);
    case Event::SameSizeRewrite:
        return sameSizeRewrite(entryPath, entry);
    case Event::Symlink:
        return symlink(entryPath, entry);
    default:
        return;
    }
}

QByteArray OtherWriter::newVersion(const std::optional<QByteArray> &seen)
{
    const QByteArray mark = m_history.mark(QStringLiteral("[o")).toLatin1();
    switch (m_texts) {
    case Texts::Plain:
        break;
    case Texts::Japanese:
        // 他 … 表ソ and a CR LF, in code page 932: two of the trail bytes are a backslash.
        return seen.value_or(QByteArray()) + "\x91\xbc" + mark + "]\x95\x5c\x83\x5c\r\n";
    case Texts::Foreign:
        // Undefined single bytes, a lead byte whose trail is no trail, and a zero.
        return seen.value_or(QByteArray()) + mark + QByteArray("\x80\xa0\x81\x7f\x00\xfd]", 7);
    }
    return seen.value_or(QByteArray()) + mark + "]";
}

void OtherWriter::record(
    const History::Entry &entry, const QByteArray &bytes, const std::optional<QByteArray> &seen)
{
    m_history.add(History::Writer::Other, entry, bytes, seen);
}

void OtherWriter::writeInPlace(const QString &path, const History::Entry &entry)
{
    const std::optional<QByteArray> seen = current(path);
    const QByteArray bytes = newVersion(seen);
    if (writeNew(path, bytes, O_CREAT | O_TRUNC))
        record(entry, bytes, seen);
}

void OtherWriter::renameOver(const QString &path, const History::Entry &entry)
{
    const std::optional<QByteArray> seen = current(path);
    const QByteArray bytes = newVersion(seen);
    const QString temporary = QFileInfo(path).path() + u"/other-writer.part"_qs;
    if (!writeNew(temporary, bytes, O_CREAT | O_TRUNC))
        return;
    if (::rename(native(temporary).constData(), native(path).constData()) == 0)
        record(entry, bytes, seen);
}

void OtherWriter::create(const QString &path, const History::Entry &entry)
{
    const QByteArray bytes = newVersion(std::nullopt);
    if (writeNew(path, bytes, O_CREAT | O_EXCL))
        record(entry, bytes, std::nullopt);
}

void OtherWriter::remove(const QString &path, const History::Entry &entry)
{
    const std::optional<QByteArray> seen = current(path);
    if (::unlink(native(path).constData()) == 0)
        m_history.addDeletion(entry, seen);
}

void OtherWriter::touch(const QString &path)
{
    // A second later than anything written so far, as a touch on another computer would be.
    struct stat st
    {
    };
    if (::stat(native(path).constData(), &st) != 0)
        return;
    const struct timespec times[2] = {{st.st_atim.tv_sec + 1, 0}, {st.st_mtim.tv_sec + 1, 0}};
    ::utimensat(AT_FDCWD, native(path).constData(), times, 0);
}

void OtherWriter::sameSizeRewrite(const QString &path, const History::Entry &entry)
{
    struct stat st
    {
    };
    const std::optional<QByteArray> seen = current(path);
    if (!seen || ::stat(native(path).constData(), &st) != 0)
        return;
    // The end of what was there overwritten by a mark of the same length, so the size stays.
    QByteArray mark = m_history.mark(QStringLiteral("{s")).toLatin1() + "}";
    if (mark.size() > seen->size())
        return;
    const QByteArray bytes = seen->left(seen->size() - mark.size()) + mark;
    const int fd = ::open(native(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    const bool written = writeWhole(fd, bytes);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(fd, times);
    ::close(fd);
    if (written)
        record(entry, bytes, seen);
}

void OtherWriter::symlink(const QString &path, const History::Entry &entry)
{
    const std::optional<QByteArray> seen = current(path);
    const QByteArray bytes = newVersion(seen);
    // DIARY/linked/YYYY-MMDD-mark.txt, beside the year folders.
    const QFileInfo info(path);
    const QString diary = QFileInfo(info.path()).path();
    const QString target = QStringLiteral("%1/linked/%2-%3-%4.txt")
                               .arg(diary, QFileInfo(info.path()).fileName(), info.baseName())
                               .arg(m_history.mark(QStringLiteral("l")));
    if (!writeNew(target, bytes, O_CREAT | O_EXCL))
        return;
    const QString link = info.path() + u"/other-writer.link"_qs;
    ::unlink(native(link).constData());
    // A file system without links (exFAT) takes none: the version it was for goes too.
    if (::symlink(native(target).constData(), native(link).constData()) != 0) {
        ::unlink(native(target).constData());
        return;
    }
    if (::rename(native(link).constData(), native(path).constData()) == 0)
        record(entry, bytes, seen);
}
