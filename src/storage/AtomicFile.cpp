#include "AtomicFile.h"

#include "storage/FileFaults.h"
#include "storage/StagedFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using FileFaults::Step;

namespace {

constexpr qsizetype kChunkBytes = 64 * 1024;

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

void removeLeftovers(const QString &folder, const QString &targetName)
{
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        const QString path = folder + u'/' + name;
        if (StagedFile::isTemporaryOf(name, targetName) && !StagedFile::isLive(path))
            ::unlink(native(path).constData());
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

} // namespace

void AtomicFile::removeLeftovers(const QString &path)
{
    const QFileInfo info(resolvedTarget(path));
    ::removeLeftovers(info.absolutePath(), info.fileName());
}

bool AtomicFile::isTemporaryName(const QString &fileName)
{
    return StagedFile::isTemporaryName(fileName);
}

bool AtomicFile::syncFolder(const QString &folder)
{
    if (FileFaults::shouldFail(Step::Sync, folder))
        return false;
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = FileFaults::flush(fd) || errno == EINVAL || errno == ENOTSUP;
    ::close(fd);
    return ok;
}

AtomicFile::Result AtomicFile::replace(const QString &path, QByteArrayView bytes,
    mode_t newFileMode, const std::function<void()> &beforeRename, struct stat *written)
{
    std::unique_ptr<StagedFile> staged;
    const Result result = stage(path, bytes, newFileMode, staged);
    return result == Result::Done ? commit(*staged, beforeRename, written) : result;
}

AtomicFile::Result AtomicFile::stage(const QString &path, QByteArrayView bytes, mode_t newFileMode,
    std::unique_ptr<StagedFile> &staged)
{
    const QString target = resolvedTarget(path);
    struct stat old
    {
    };
    const bool existed = ::stat(native(target).constData(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        return Result::CreateFailed;
    mode_t mode = existed ? (old.st_mode & 07777) : newFileMode;
    if (mode == kUmaskMode)
        mode = umaskMode();

    const QFileInfo info(target);
    ::removeLeftovers(info.absolutePath(), info.fileName());
    if (FileFaults::shouldFail(Step::Create, path))
        return Result::CreateFailed;
    auto temp = std::make_unique<StagedFile>(target, path);
    if (!temp->isOpen())
        return Result::CreateFailed;
    if (!writeAll(temp->fd(), bytes, path) || ::fchmod(temp->fd(), mode) != 0)
        return Result::WriteFailed;
    staged = std::move(temp);
    return Result::Done;
}

AtomicFile::Result AtomicFile::commit(
    StagedFile &staged, const std::function<void()> &beforeRename, struct stat *written)
{
    const QString &path = staged.faultPath();
    if (FileFaults::shouldFail(Step::Sync, path) || !FileFaults::flush(staged.fd()))
        return Result::WriteFailed;
    if (written && ::fstat(staged.fd(), written) != 0)
        return Result::WriteFailed;
    if (FileFaults::shouldFail(Step::Flush, path) || !staged.close())
        return Result::WriteFailed;
    if (beforeRename)
        beforeRename();
    if (FileFaults::shouldFail(Step::Rename, path)
        || ::rename(native(staged.path()).constData(), native(staged.target()).constData()) != 0)
        return Result::CreateFailed;
    staged.markRenamed();
    // The rename is only durable once the folder itself is on disk.
    return syncFolder(staged.folder()) ? Result::Done : Result::WriteFailed;
}
