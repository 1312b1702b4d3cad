#pragma once

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTest>

// Files as the tests write and check them, byte for byte. A helper that can fail returns false
// and the test checks it (or uses the macro), since a QVERIFY inside a helper only ends the
// helper and the test would go on with a broken fixture.

// The bytes a file holds; "<missing>" when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Writes the whole file, making its folder first; false when that fails.
[[nodiscard]] inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

// Fails the calling test when the file cannot be written.
#define WRITE_FILE(path, bytes) QVERIFY2(writeFile((path), (bytes)), qPrintable(path))

// The entry file of a day under a diary folder: DIARY/YYYY/MMDD.txt.
inline QString entryPathIn(const QString &diary, int year, int month, int day)
{
    return QStringLiteral("%1/%2/%3%4.txt")
        .arg(diary)
        .arg(year)
        .arg(month, 2, 10, QLatin1Char('0'))
        .arg(day, 2, 10, QLatin1Char('0'));
}
inline QString entryPathIn(const QString &diary, QDate date)
{
    return entryPathIn(diary, date.year(), date.month(), date.day());
}

// The settings file's text naming a diary folder (as file-name bytes) and an autosave interval.
inline QByteArray settingsText(const QByteArray &dir, const QByteArray &charsToSave = "20")
{
    return "[Data]\r\nDir=" + dir + "\r\nNumberOfCharsToSave=" + charsToSave + "\r\n";
}
inline QByteArray settingsText(const QString &diary, int charsToSave = 20)
{
    return settingsText(QFile::encodeName(diary), QByteArray::number(charsToSave));
}
