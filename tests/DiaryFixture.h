#pragma once

#include <QApplication>
#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "ScriptedPrompter.h"
#include "storage/EntryWriter.h"
#include "storage/FileFaults.h"
#include "storage/Settings.h"
#include "ui/Calendar.h"
#include "ui/DiaryPane.h"
#include "ui/MainForm.h"
#include "ui/SettingsForm.h"

// A diary folder and settings file in a temporary folder, a fixed "today", and the main window
// with its settings dialog, answered through the scripted prompter.
class DiaryFixture
{
public:
    explicit DiaryFixture(QDate today = QDate(2026, 12, 8))
    {
        QVERIFY(root.isValid());
        diary = root.filePath(QStringLiteral("diary"));
        QDir().mkpath(diary);
        setExecutablePathForTesting(root.filePath(QStringLiteral("Orlune")));
        TCalendar::setTodayForTesting(today);
    }
    ~DiaryFixture()
    {
        window.reset();
        settings.reset();
        FileFaults::setHook({});
        setExecutablePathForTesting(QString());
        TCalendar::setTodayForTesting(QDate());
        DiaryDir.clear();
        CharsToSave = kDefaultCharsToSave;
    }

    void writeSettings(const QByteArray &dir, const QByteArray &chars = "20")
    {
        QByteArray ini = "[Data]\r\nDir=" + dir + "\r\nNumberOfCharsToSave=" + chars + "\r\n";
        writeFile(root.filePath(QStringLiteral("Orlune.ini")), ini);
    }
    void useDiary(const QByteArray &chars = "20") { writeSettings(diary.toLocal8Bit(), chars); }

    QString entry(int year, int month, int day) const
    {
        return QStringLiteral("%1/%2/%3%4.txt")
            .arg(diary)
            .arg(year)
            .arg(month, 2, 10, QLatin1Char('0'))
            .arg(day, 2, 10, QLatin1Char('0'));
    }
    void writeEntry(int year, int month, int day, const QByteArray &bytes)
    {
        QDir().mkpath(QStringLiteral("%1/%2").arg(diary).arg(year));
        writeFile(entry(year, month, day), bytes);
    }
    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // What the file holds once the entry writer has put every save so far in place.
    static QByteArray readFile(const QString &path)
    {
        EntryWriter::instance().waitForAll();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return "<missing>";
        return file.readAll();
    }

    // Creates the windows as start-up does and shows the main window (runs FormShow).
    TfrmMain &start()
    {
        window = std::make_unique<TfrmMain>();
        settings = std::make_unique<TSettings>();
        window->setSettingsDialog(settings.get());
        window->show();
        QApplication::setActiveWindow(window.get());
        return *window;
    }

    QTemporaryDir root;
    QString diary;
    ScriptedPrompter prompter;
    std::unique_ptr<TfrmMain> window;
    std::unique_ptr<TSettings> settings;
};
