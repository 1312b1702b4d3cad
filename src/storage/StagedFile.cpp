#include "StagedFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kSuffixLength = 6;
const QString kTempSuffix = QStringLiteral(".tmp");

QString temporaryName(const QString &targetName)
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix;
    for (int i = 0; i < kSuffixLength; ++i)
        suffix += QChar(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet) - 1)]);
    return u'.' + targetName + u'.' + suffix + kTempSuffix;
}

} // namespace

StagedFile::StagedFile(const QString &target, const QString &faultPath)
    : m_target(target), m_faultPath(faultPath)
{
    const QFileInfo info(target);
    m_folder = info.absolutePath();
    const QString name = info.fileName();
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_path = m_folder + u'/' + temporaryName(name);
        const int fd = ::open(QFile::encodeName(m_path).constData(),
            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
        if (fd < 0)
            continue;
        // A clean-up holds the lock only for a moment.
        int locked = -1;
        do
            locked = ::flock(fd, LOCK_EX);
        while (locked != 0 && errno == EINTR);
        // Between the creation and the lock, another process's clean-up may have taken the new
        // file for a leftover and removed it.
        if (locked == 0 && isNamed(fd, m_path))
            m_fd = fd;
        else
            ::close(fd);
    }
}

StagedFile::~StagedFile()
{
    if (m_fd < 0)
        return;
    // Removed while still locked, so no clean-up meets it unlocked.
    if (!m_renamed)
        ::unlink(QFile::encodeName(m_path).constData());
    ::close(m_fd);
}

void StagedFile::markRenamed(bool renamed)
{
    m_renamed = renamed;
}

bool StagedFile::isNamed(int fd, const QString &path)
{
    struct stat opened
    {
    };
    struct stat named
    {
    };
    return ::fstat(fd, &opened) == 0 && ::lstat(QFile::encodeName(path).constData(), &named) == 0
        && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool StagedFile::isTemporaryName(const QString &fileName)
{
    return fileName.startsWith(u'.') && fileName.endsWith(kTempSuffix);
}

bool StagedFile::isTemporaryOf(const QString &fileName, const QString &targetName)
{
    const qsizetype expected = 1 + targetName.size() + 1 + kSuffixLength + kTempSuffix.size();
    return fileName.size() == expected && fileName.startsWith(u'.')
        && QStringView(fileName).sliced(1).startsWith(targetName)
        && fileName.at(1 + targetName.size()) == u'.' && fileName.endsWith(kTempSuffix);
}
