#pragma once

#include <QString>

// Our own initialization-file accessor: sections in brackets, key=value lines, CR LF, code page
// 932. Section and key names match without regard to letter case; blanks around names and values
// are ignored; a value in matching quotes reads without them; lines starting with ";" are comments.
// Every write replaces the file safely at once; every other line stays byte for byte.
class ProfileFile
{
public:
    // Options for a file kept apart from the program, in the user's own folder.
    struct Options
    {
        QString defaults; // read while path does not exist, and the start of its first write
        bool isPrivate = false; // created 0600, with missing folders 0700
    };

    // Neither touches the disk.
    explicit ProfileFile(QString path);
    ProfileFile(QString path, Options options);
    ~ProfileFile();

    // At most 2047 bytes of code page 932, cut at a character boundary.
    QString readString(
        const QString &section, const QString &key, const QString &defaultValue) const;
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // A failed write raises "%s に書き込めません" with the file's full path.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);

    const QString &path() const { return m_path; }

private:
    [[noreturn]] void fail();
    QString readablePath() const;
    bool makeFolder() const;

    QString m_path;
    Options m_options;
    bool m_failed = false;
};
