#include "AtomicFile.h"

#include "storage/FileFaults.h"
#include "storage/Leftovers.h"
#include "storage/NewFile.h"
#include "storage/StagedFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using FileFaults::Step;

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

mode_t umaskMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

QString resolvedTarget(const QString &path)
{
    QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString target = info.canonicalFilePath();
    if (!target.isEmpty())
        return target;
    // A link to a file that is not there yet: the file is made where the link says, so the link
    // stays what it is. A loop of links stays a name that cannot be written.
    for (int hop = 0; hop < 40 && info.isSymLink(); ++hop)
        info = QFileInfo(info.symLinkTarget());
    return info.isSymLink() ? path : info.absoluteFilePath();
}

AtomicFile::Result stageAt(const QString &path, const QString &target, QByteArrayView bytes,
    mode_t newFileMode, Leftovers::Kind leftovers, std::unique_ptr<StagedFile> &staged)
{
    struct stat old
    {
    };
    const bool existed = ::stat(native(target).constData(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        return AtomicFile::Result::CreateFailed;
    mode_t mode = existed ? (old.st_mode & 07777) : newFileMode;
    if (mode == AtomicFile::kUmaskMode)
        mode = umaskMode();

    Leftovers::clear(target, leftovers);
    if (FileFaults::shouldFail(Step::Create, path))
        return AtomicFile::Result::CreateFailed;
    auto temp = std::make_unique<StagedFile>(target, path);
    if (!temp->isOpen())
        return AtomicFile::Result::CreateFailed;
    if (!NewFile::writeAll(temp->fd(), bytes, path) || ::fchmod(temp->fd(), mode) != 0)
        return AtomicFile::Result::WriteFailed;
    staged = std::move(temp);
    return AtomicFile::Result::Done;
}

AtomicFile::Result commit(StagedFile &staged)
{
    const QString &path = staged.faultPath();
    if (FileFaults::shouldFail(Step::Sync, path) || !FileFaults::flush(staged.fd()))
        return AtomicFile::Result::WriteFailed;
    if (FileFaults::shouldFail(Step::Flush, path))
        return AtomicFile::Result::WriteFailed;
    if (FileFaults::shouldFail(Step::Rename, path)
        || ::rename(native(staged.path()).constData(), native(staged.target()).constData()) != 0)
        return AtomicFile::Result::CreateFailed;
    staged.markRenamed();
    // The rename is only durable once the folder itself is on disk.
    return AtomicFile::syncFolder(staged.folder()) ? AtomicFile::Result::Done
                                                   : AtomicFile::Result::WriteFailed;
}

} // namespace

void AtomicFile::clearEntryLeftovers(const QString &path)
{
    Leftovers::clear(resolvedTarget(path), Leftovers::Kind::Entry);
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

AtomicFile::Result AtomicFile::replace(
    const QString &path, QByteArrayView bytes, mode_t newFileMode)
{
    std::unique_ptr<StagedFile> staged;
    const Result result
        = stageAt(path, resolvedTarget(path), bytes, newFileMode, Leftovers::Kind::Replace, staged);
    return result == Result::Done ? commit(*staged) : result;
}

AtomicFile::Result AtomicFile::stage(const QString &path, QByteArrayView bytes, mode_t newFileMode,
    std::unique_ptr<StagedFile> &staged)
{
    return stageAt(path, resolvedTarget(path), bytes, newFileMode, Leftovers::Kind::Entry, staged);
}
