#pragma once

#include <QString>

class ProfileFile;

// The two settings, process-wide, as the last readSettings found them.
extern QString DiaryDir;
extern int CharsToSave;

inline const QString kSettingsSection = QStringLiteral("Data");
inline const QString kDirKey = QStringLiteral("Dir");
inline const QString kCharsToSaveKey = QStringLiteral("NumberOfCharsToSave");
constexpr int kDefaultCharsToSave = 20;

// What decides where the settings file is: the executable's path and what is found beside it.
struct SettingsSite
{
    QString executable;
    bool besideExists = false; // something of the settings file's name is beside the executable
    bool besideWritable = false; // ... and this user may replace it
    bool folderWritable = false; // this user may create files in the executable's folder
    QString configHome; // the user's configuration folder ($XDG_CONFIG_HOME or ~/.config)
};

// The settings file chosen for a site: path is read when it exists and is the one written;
// while it does not exist, defaults (an administrator's file beside the executable, or empty)
// is read instead and seeds its first write.
struct SettingsFiles
{
    QString path;
    QString defaults;
    bool perUser = false; // created private, with its folder, on the first write

    bool operator==(const SettingsFiles &) const = default;
};

// The executable's full path with its extension replaced by ".ini".
QString besideSettingsPath(const QString &executable);
// Beside the executable when that file can be written there, except for a program installed
// under /usr, which must leave nothing there that its package does not know; otherwise the
// user's own configHome/orlune/<executable's base name>.ini.
SettingsFiles chooseSettingsFiles(const SettingsSite &site);
// The site of the running executable (or the one tests name), looked up now.
SettingsSite currentSettingsSite();

// The settings file's path as chosen now: where the settings dialog writes.
QString settingsFilePath();
// The settings file as chosen now, ready to read and write.
ProfileFile openSettingsFile();
// Tests name the executable; empty restores the real one.
void setExecutablePathForTesting(const QString &path);

void readSettings();
bool checkSettings();
