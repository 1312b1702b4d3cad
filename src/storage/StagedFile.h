#pragma once

#include <QString>

// A file's new content under a temporary name beside it (".NAME.XXXXXX.tmp", hidden, created
// exclusively with mode 0600), not yet in its place. It is locked (flock) and kept open for its
// whole life, so that no clean-up of leftovers, in this process or another, takes it for a
// crash's. Destroyed while its content is still under the temporary name, it is removed; once
// the content was put in place, whatever the temporary name holds then is left to the caller.
class StagedFile
{
public:
    // target: the file to be replaced, symbolic links already followed; faultPath: the path its
    // steps are named by to fault injection (the one asked for).
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
    // renamed: the content now has the target's name (renamed, or swapped with what was there);
    // false again once a swap back returned it to the temporary name.
    void markRenamed(bool renamed = true);
    bool isRenamed() const { return m_renamed; }

    static bool isTemporaryName(const QString &fileName);
    static bool isTemporaryOf(const QString &fileName, const QString &targetName);
    // True while path names the very file open on fd.
    static bool isNamed(int fd, const QString &path);

private:
    QString m_target;
    QString m_folder;
    QString m_faultPath;
    QString m_path;
    int m_fd = -1;
    bool m_renamed = false;
};
