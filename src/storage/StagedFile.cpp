#include "StagedFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

constexpr int kSuffixLength = 6;
const QString kTempSuffix = QStringLiteral(".tmp");

// Temporaries waiting for the entry writer live on while the next save of the same file makes
// its own; the clean-up of a crash's leftovers must leave them alone.
// Made before main, so they outlive the writer, which drains its saves at exit.
struct LiveTemporaries
{
    std::mutex mutex;
    QSet<QString> paths;
} liveTemporaries;

LiveTemporaries &live()
{
    return liveTemporaries;
}

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
        m_fd = ::open(QFile::encodeName(m_path).constData(),
            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    m_created = m_fd >= 0;
    if (m_created) {
        const std::lock_guard lock(live().mutex);
        live().paths.insert(m_path);
    }
}

StagedFile::~StagedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_created && !m_renamed)
        ::unlink(QFile::encodeName(m_path).constData());
    if (m_created) {
        const std::lock_guard lock(live().mutex);
        live().paths.remove(m_path);
    }
}

bool StagedFile::close()
{
    const int fd = std::exchange(m_fd, -1);
    return ::close(fd) == 0;
}

void StagedFile::markRenamed()
{
    m_renamed = true;
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

bool StagedFile::isLive(const QString &temporaryPath)
{
    const std::lock_guard lock(live().mutex);
    return live().paths.contains(temporaryPath);
}
