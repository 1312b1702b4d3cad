#pragma once

#include <QString>

// The two settings, process-wide, as the last readSettings found them.
extern QString DiaryDir;
extern int CharsToSave;

inline const QString kSettingsSection = QStringLiteral("Data");
inline const QString kDirKey = QStringLiteral("Dir");
inline const QString kCharsToSaveKey = QStringLiteral("NumberOfCharsToSave");
constexpr int kDefaultCharsToSave = 20;

// The executable's full path with its extension replaced by ".ini".
QString settingsFilePath();
// Tests name the executable; empty restores the real one.
void setExecutablePathForTesting(const QString &path);

void readSettings();
bool checkSettings();
