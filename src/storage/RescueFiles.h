#pragma once

#include <QString>
#include <QStringList>

class QDate;
class QDateTime;

// An entry that a termination request could not save (its diary folder gone at logout, say)
// is kept in the user's data folder, $XDG_DATA_HOME/orlune/rescue, stored as an entry is.
// A rescue file is written owner-writable; once the user has been told where it is, it is
// made read-only, so each is announced once and none is ever replaced.

QString rescueFolderPath();
// Writes text to a new file (mode 0600, folder 0700) named after the entry's date and the
// time of the rescue, never replacing a file; returns its path.
QString writeRescueFile(const QString &text, const QDate &entryDate, const QDateTime &now);
// Rescue files the user has not been told about, oldest first.
QStringList unannouncedRescueFiles();
// Removes a rescue file whose text reached its entry after all, and the rescue folder with it
// when nothing else is in it.
void removeRescueFile(const QString &path);
void markRescueFileAnnounced(const QString &path);
