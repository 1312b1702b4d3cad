#include "RescueFiles.h"

#include "storage/AtomicFile.h"
#include "storage/DiaryText.h"
#include "storage/Exception.h"
#include "storage/NewFile.h"
#include "storage/StorageMessages.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

constexpr QFileDevice::Permissions kPrivateFolder
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

constexpr int kMaxNames = 1000;

QString nameFor(const QString &folder, const QString &stem, int n)
{
    if (n == 1)
        return folder + QLatin1Char('/') + stem + QStringLiteral(".txt");
    return QStringLiteral("%1/%2-%3.txt").arg(folder, stem).arg(n);
}

bool isRescueFile(const QFileInfo &file)
{
    return file.isFile() && !AtomicFile::isTemporaryName(file.fileName());
}

} // namespace

QString rescueFolderPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/orlune/rescue");
}

QString writeRescueFile(const QString &text, const QDate &entryDate, const QDateTime &now)
{
    const QString folder = rescueFolderPath();
    if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, kPrivateFolder))
        throw Exception(StorageMessages::cannotCreate(folder));
    const QByteArray bytes = diaryTextToBytes(text);
    const QString stem = entryDate.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral("_")
        + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    // Each name is only ever created, never replaced: a name taken meanwhile moves on to the next.
    for (int n = 1; n <= kMaxNames; ++n) {
        const QString path = nameFor(folder, stem, n);
        const NewFile::Result result = NewFile::write(path, bytes, 0600);
        if (result == NewFile::Result::Done)
            return path;
        if (result == NewFile::Result::WriteFailed)
            throw Exception(StorageMessages::writeError());
        if (result == NewFile::Result::CreateFailed)
            throw Exception(StorageMessages::cannotCreate(path));
    }
    throw Exception(StorageMessages::cannotCreate(nameFor(folder, stem, 1)));
}

QStringList unannouncedRescueFiles()
{
    QStringList found;
    const QFileInfoList files
        = QDir(rescueFolderPath())
              .entryInfoList({QStringLiteral("*.txt")}, QDir::Files, QDir::Time | QDir::Reversed);
    for (const QFileInfo &file : files) {
        if (isRescueFile(file) && file.permissions().testFlag(QFileDevice::WriteOwner))
            found.append(file.absoluteFilePath());
    }
    return found;
}

void removeRescueFile(const QString &path)
{
    QFile::remove(path);
    QDir().rmdir(rescueFolderPath());
}

void markRescueFileAnnounced(const QString &path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner);
}
