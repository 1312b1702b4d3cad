#pragma once

#include "Schedule.h"

#include <QString>
#include <QStringList>

// Runs one schedule in a fresh pair of diary folders and a rescue folder under the campaign's
// folder (a tmpfs where there is one), then asks the oracle about the folders. The entry writer
// is the caller's, made once for the campaign as the program's start-up makes it: one thread for
// all the runs costs far less than one each.
class ScheduleRunner
{
public:
    struct Result
    {
        QStringList violations; // the oracle's, and a writer or process that hung
        QStringList notes; // moves that never met their step, pauses nobody came to
        int fired = 0;
        int unfired = 0;
    };

    // root: where each run makes its folders; secondProgram: the second Orlune's executable.
    ScheduleRunner(const QString &root, const QString &secondProgram);

    Result run(const Schedule &schedule);
    // Keeps each run's folders (for a replay that is looked at afterwards).
    void setKeepFolders(bool keep) { m_keep = keep; }

private:
    QString m_root;
    QString m_secondProgram;
    int m_runs = 0;
    bool m_keep = false;
};
