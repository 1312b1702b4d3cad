#include "RescueFiles.h"

#include "storage/AtomicFile.h"
#include "storage/EntryFiles.h"
#include "storage/Exception.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kCannotCreate = QStringLiteral("ファイル %1 を作成できません");

constexpr QFileDevice::Permissions kPrivateFolder
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

QString freeName(const QString &folder, const QString &stem)
{
    QString path = folder + QLatin1Char('/') + stem + QStringLiteral(".txt");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QStringLiteral("%1/%2-%3.txt").arg(folder, stem).arg(n);
    return path;
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
        throw Exception(kCannotCreate.arg(folder));
    const QString path = freeName(folder,
        entryDate.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral("_")
            + now.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    writeTextFile(path, text);
    return path;
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

void markRescueFileAnnounced(const QString &path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner);
}
