#include "AtomicFile.h"

#include "FileFaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using FileFaults::Step;

namespace {

constexpr qsizetype kChunkBytes = 64 * 1024;
constexpr int kSuffixLength = 6;
const QString kTempSuffix = QStringLiteral(".tmp");

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

// ".NAME.XXXXXX.tmp": hidden, and tied to the name of the file it replaces.
QString temporaryName(const QString &targetName)
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix;
    for (int i = 0; i < kSuffixLength; ++i)
        suffix += QChar(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet) - 1)]);
    return u'.' + targetName + u'.' + suffix + kTempSuffix;
}

bool isTemporaryOf(const QString &fileName, const QString &targetName)
{
    const qsizetype expected = 1 + targetName.size() + 1 + kSuffixLength + kTempSuffix.size();
    return fileName.size() == expected && fileName.startsWith(u'.')
        && QStringView(fileName).sliced(1).startsWith(targetName)
        && fileName.at(1 + targetName.size()) == u'.' && fileName.endsWith(kTempSuffix);
}

void removeLeftovers(const QString &folder, const QString &targetName)
{
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (isTemporaryOf(name, targetName))
            ::unlink(native(folder + u'/' + name).constData());
    }
}

mode_t umaskMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

QString resolvedTarget(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty())
            return target;
    }
    return path;
}

bool writeAll(int fd, QByteArrayView bytes, const QString &path)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (FileFaults::shouldFail(Step::Write, path))
            return false;
        const qsizetype chunk = std::min(kChunkBytes, bytes.size() - done);
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(chunk));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

class Temporary
{
public:
    Temporary(const QString &folder, const QString &targetName)
    {
        for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
            m_path = folder + u'/' + temporaryName(targetName);
            m_fd = ::open(native(m_path).constData(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (m_fd < 0 && errno != EEXIST)
                break;
        }
        m_created = m_fd >= 0;
    }
    ~Temporary()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_created && !m_renamed)
            ::unlink(native(m_path).constData());
    }
    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const QString &path() const { return m_path; }
    bool close()
    {
        const int fd = std::exchange(m_fd, -1);
        return ::close(fd) == 0;
    }
    void markRenamed() { m_renamed = true; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_created = false;
    bool m_renamed = false;
};

} // namespace

bool AtomicFile::isTemporaryName(const QString &fileName)
{
    return fileName.startsWith(u'.') && fileName.endsWith(kTempSuffix);
}

bool AtomicFile::syncFolder(const QString &folder)
{
    if (FileFaults::shouldFail(Step::Sync, folder))
        return false;
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
    ::close(fd);
    return ok;
}

AtomicFile::Result AtomicFile::replace(const QString &path, QByteArrayView bytes,
    mode_t newFileMode, const std::function<void()> &beforeRename, struct stat *written)
{
    const QString target = resolvedTarget(path);
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    const QString name = info.fileName();

    struct stat old
    {
    };
    const bool existed = ::stat(native(target).constData(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        return Result::CreateFailed;
    mode_t mode = existed ? (old.st_mode & 07777) : newFileMode;
    if (mode == kUmaskMode)
        mode = umaskMode();

    removeLeftovers(folder, name);
    if (FileFaults::shouldFail(Step::Create, path))
        return Result::CreateFailed;
    Temporary temp(folder, name);
    if (!temp.isOpen())
        return Result::CreateFailed;
    if (!writeAll(temp.fd(), bytes, path) || ::fchmod(temp.fd(), mode) != 0)
        return Result::WriteFailed;
    if (FileFaults::shouldFail(Step::Sync, path) || ::fsync(temp.fd()) != 0)
        return Result::WriteFailed;
    if (written && ::fstat(temp.fd(), written) != 0)
        return Result::WriteFailed;
    if (FileFaults::shouldFail(Step::Flush, path) || !temp.close())
        return Result::WriteFailed;
    if (beforeRename)
        beforeRename();
    if (FileFaults::shouldFail(Step::Rename, path)
        || ::rename(native(temp.path()).constData(), native(target).constData()) != 0)
        return Result::CreateFailed;
    temp.markRenamed();
    // The rename is only durable once the folder itself is on disk.
    return syncFolder(folder) ? Result::Done : Result::WriteFailed;
}
