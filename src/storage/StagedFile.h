#pragma once

#include <QString>

// A file's new content under a temporary name beside it (".NAME.XXXXXX.tmp", hidden, created
// exclusively with mode 0600), not yet in its place. Destroyed before it was renamed, it is
// removed. While it exists, no clean-up of leftover temporaries in this process removes it.
class StagedFile
{
public:
    // target: the file to be replaced; faultPath: the path its steps are named by to fault
    // injection (the one asked for, before symbolic links were followed).
    StagedFile(const QString &target, const QString &faultPath);
    ~StagedFile();
    StagedFile(const StagedFile &) = delete;
    StagedFile &operator=(const StagedFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const QString &path() const { return m_path; }
    const QString &target() const { return m_target; }
    const QString &folder() const { return m_folder; }
    const QString &faultPath() const { return m_faultPath; }
    bool close();
    void markRenamed();
    bool isRenamed() const { return m_renamed; }

    static bool isTemporaryName(const QString &fileName);
    static bool isTemporaryOf(const QString &fileName, const QString &targetName);
    // True while a StagedFile of this process holds that temporary.
    static bool isLive(const QString &temporaryPath);

private:
    QString m_target;
    QString m_folder;
    QString m_faultPath;
    QString m_path;
    int m_fd = -1;
    bool m_created = false;
    bool m_renamed = false;
};
