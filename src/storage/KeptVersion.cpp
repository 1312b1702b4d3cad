#include "KeptVersion.h"

#include "storage/AtomicFile.h"
#include "storage/Exception.h"
#include "storage/FileFaults.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxAttempts = 1000;
const QString kCannotCreate = QStringLiteral("ファイル %1 を作成できません");

enum class Made { Done, Taken, NoLinks, Failed };

Made link(const QString &from, const QString &to)
{
    if (::linkat(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
            QFile::encodeName(to).constData(), AT_SYMLINK_FOLLOW)
        == 0)
        return Made::Done;
    if (errno == EEXIST)
        return Made::Taken;
    // FAT on a USB stick, some network shares: no hard links.
    if (errno == EPERM || errno == EXDEV || errno == ENOTSUP || errno == EMLINK
        || errno == EOPNOTSUPP)
        return Made::NoLinks;
    return Made::Failed;
}

Made copy(const QString &from, const QString &to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Made::Failed;
    const QByteArray bytes = source.readAll();
    const int fd = ::open(QFile::encodeName(to).constData(),
        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == EEXIST ? Made::Taken : Made::Failed;
    qsizetype done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? n : 0;
    }
    ok = ok && FileFaults::flush(fd);
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        ::unlink(QFile::encodeName(to).constData());
    return ok ? Made::Done : Made::Failed;
}

} // namespace

QString KeptVersion::nameFor(const QString &entryName, const QDateTime &now, int attempt)
{
    const QString stem = entryName.section(u'.', 0, 0);
    QString name = stem + u".conflict-"_qs + now.toString(u"yyyyMMdd-HHmmss"_qs);
    if (attempt > 1)
        name += u'-' + QString::number(attempt);
    return name + u".txt"_qs;
}

QString KeptVersion::keep(const QString &entryPath, const QDateTime &now)
{
    const QFileInfo entry(entryPath);
    const QString folder = entry.absolutePath();
    bool links = true;
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        const QString kept = folder + u'/' + nameFor(entry.fileName(), now, attempt);
        if (FileFaults::shouldFail(FileFaults::Step::Create, kept))
            break;
        Made made = links ? link(entryPath, kept) : copy(entryPath, kept);
        if (made == Made::NoLinks) {
            links = false;
            made = copy(entryPath, kept);
        }
        if (made == Made::Taken)
            continue;
        if (made == Made::Failed)
            break;
        if (!AtomicFile::syncFolder(folder))
            throw Exception(kCannotCreate.arg(kept));
        return kept;
    }
    throw Exception(kCannotCreate.arg(folder + u'/' + nameFor(entry.fileName(), now, 1)));
}
