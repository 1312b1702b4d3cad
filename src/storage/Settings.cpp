#include "Settings.h"

#include "storage/ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

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

// The extension starts at the last "." of the file name; without one the whole name counts.
qsizetype extensionStart(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0 || dot < path.lastIndexOf(u'/'))
        return path.size();
    return dot;
}

// A program under /usr belongs to the package system: a file left beside it would be unknown
// to it and outlive the program's removal.
bool isSystemProgram(const QString &executable)
{
    return executable.startsWith(u"/usr/"_qs);
}

bool mayWrite(const QString &path, int mode)
{
    return ::access(QFile::encodeName(path).constData(), mode) == 0;
}

// $XDG_CONFIG_HOME when it is an absolute path, as the desktop's rules say; ~/.config otherwise.
QString configHome()
{
    const QString set = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(set))
        return QDir::cleanPath(set);
    return QDir::homePath() + u"/.config"_qs;
}

} // namespace

QString besideSettingsPath(const QString &executable)
{
    return executable.left(extensionStart(executable)) + u".ini"_qs;
}

SettingsFiles chooseSettingsFiles(const SettingsSite &site)
{
    const QString beside = besideSettingsPath(site.executable);
    const bool writableBeside = site.besideExists ? site.besideWritable : site.folderWritable;
    if (writableBeside && !isSystemProgram(site.executable))
        return {beside, QString(), false};
    const QString name = QFileInfo(beside).fileName();
    return {site.configHome + u"/orlune/"_qs + name, site.besideExists ? beside : QString(), true};
}

SettingsSite currentSettingsSite()
{
    SettingsSite site;
    site.executable = executablePath();
    const QString beside = besideSettingsPath(site.executable);
    site.besideExists = QFileInfo::exists(beside);
    site.besideWritable = site.besideExists && mayWrite(beside, W_OK);
    site.folderWritable = mayWrite(QFileInfo(beside).absolutePath(), W_OK | X_OK);
    site.configHome = configHome();
    return site;
}

QString settingsFilePath()
{
    return chooseSettingsFiles(currentSettingsSite()).path;
}

ProfileFile openSettingsFile()
{
    const SettingsFiles files = chooseSettingsFiles(currentSettingsSite());
    return ProfileFile(files.path, {files.defaults, files.perUser});
}

void setExecutablePathForTesting(const QString &path)
{
    executablePathForTesting() = path;
}

void readSettings()
{
    const ProfileFile file = openSettingsFile();
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
