#include "Settings.h"

#include "storage/ProfileFile.h"

#include <QCoreApplication>
#include <QFileInfo>

QString DiaryDir;
int CharsToSave = kDefaultCharsToSave;

namespace {

QString &executablePathForTesting()
{
    static QString path;
    return path;
}

QString executablePath()
{
    if (!executablePathForTesting().isEmpty())
        return executablePathForTesting();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

} // namespace

QString settingsFilePath()
{
    const QString exe = executablePath();
    const qsizetype dot = exe.lastIndexOf(u'.');
    if (dot < 0 || dot < exe.lastIndexOf(u'/'))
        return exe + u".ini"_qs;
    return exe.left(dot) + u".ini"_qs;
}

void setExecutablePathForTesting(const QString &path)
{
    executablePathForTesting() = path;
}

void readSettings()
{
    ProfileFile file(settingsFilePath());
    DiaryDir = file.readString(kSettingsSection, kDirKey, QString());
    CharsToSave = file.readInteger(kSettingsSection, kCharsToSaveKey, kDefaultCharsToSave);
    // The autosave divides by the interval, so a hand-edited 0 or negative must not reach it.
    if (CharsToSave < 1)
        CharsToSave = kDefaultCharsToSave;
}

bool checkSettings()
{
    return !DiaryDir.isEmpty() && QFileInfo(DiaryDir).isDir();
}
