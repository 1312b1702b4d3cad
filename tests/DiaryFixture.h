#pragma once

#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "storage/DiaryPage.h"
#include "storage/EntryWriter.h"
#include "storage/FileFaults.h"
#include "storage/Settings.h"
#include "ui/Calendar.h"
#include "ui/DiaryPane.h"
#include "ui/MainForm.h"
#include "ui/SettingsForm.h"

#include <QApplication>
#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A diary folder and settings file in a temporary folder, a fixed "today", and the main window
// with its settings dialog, answered through the scripted prompter.
class DiaryFixture
{
public:
    explicit DiaryFixture(QDate today = QDate(2026, 12, 8))
    {
        diary = root.filePath(QStringLiteral("diary"));
        // A test must not go on without its folders; none could run here.
        if (!root.isValid() || !QDir().mkpath(diary))
            qFatal("cannot make a temporary diary folder");
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

    // Writes the settings file beside the executable; false when that fails.
    [[nodiscard]] bool writeSettings(const QByteArray &dir, const QByteArray &chars = "20")
    {
        return writeFile(root.filePath(QStringLiteral("Orlune.ini")), settingsText(dir, chars));
    }
    [[nodiscard]] bool useDiary(const QByteArray &chars = "20")
    {
        return writeSettings(QFile::encodeName(diary), chars);
    }

    QString entry(int year, int month, int day) const
    {
        return entryPathIn(diary, year, month, day);
    }
    [[nodiscard]] bool writeEntry(int year, int month, int day, const QByteArray &bytes)
    {
        return writeFile(entry(year, month, day), bytes);
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
    // Made before the window and stopped after it, while the folders are still there; a fixture
    // made while another is alive saves through that one's.
    std::unique_ptr<EntryWriter> writer
        = EntryWriter::current() ? nullptr : std::make_unique<EntryWriter>();
    ScriptedPrompter prompter;
    std::unique_ptr<TfrmMain> window;
    std::unique_ptr<TSettings> settings;
};

// Shows a window and makes it the active one; false when it never became active.
[[nodiscard]] inline bool showActive(QWidget &window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

// What the file holds once the entry writer has put every save so far in place.
inline QByteArray savedFile(const QString &path)
{
    // None without a fixture: the file was written by a program started for the test.
    if (EntryWriter *writer = EntryWriter::current())
        writer->waitForAll();
    return readFile(path);
}
