#pragma once

#include "storage/SaveBook.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class QFileSystemWatcher;
class QTimer;
class TextPane;

// The five panes' files and the rules that keep what the person typed: which entry each pane
// shows, what was last loaded from or confirmed on disk, saves that failed (kept per entry file
// until they succeed), following changes another writer makes, the change of diary folder, close
// and termination. The window turns the person's events into calls and shows what the page says.
//
// Threads: every member is called on the thread that created the page (the GUI thread), which
// a debug build asserts. The entry writer's results reach it only through takeWriterOutcomes.
class DiaryPage : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPaneCount = 5;
    // A synchroniser writes a file in several steps; the page follows once they have settled.
    static constexpr int kFollowDelayMs = 300;

    // A text of the page that is not known to be on disk: pane 0's typing, a save handed to the
    // entry writer whose outcome is not taken yet, or a save that failed.
    struct TextNotOnDisk
    {
        enum class Kind { Typing, Pending, Failed };
        Kind kind = Kind::Typing;
        QDate date;
        QString folder; // the diary folder it is for
        QString entryPath; // its entry file in that folder
        QString text;
    };

    // A text that a termination could not save, and the rescue file that holds it.
    struct Rescue
    {
        QDate date;
        QString file; // empty when even the rescue file could not be written
        QString error; // why the entry could not be saved
    };

    // Pane 0 is the editable one (the shown year), pane i the entry of that year minus i.
    // The panes outlive the page. GUI thread.
    explicit DiaryPage(const std::array<TextPane *, kPaneCount> &panes, QObject *parent = nullptr);
    // Waits for the saves handed to the entry writer; nobody is left to tell of their outcomes.
    // GUI thread.
    ~DiaryPage() override;

    // --- The person's events. All on the GUI thread; those that throw leave the page sound. ---

    // Shows the day's five entries from the current diary folder (year of the date in pane 0).
    // The writer's outcomes are taken first, so a failure of the day shown so far is typing
    // again; typing in pane 0 that is not on disk is saved under the day it was written for; a
    // save that failed earlier for the new day shows again in pane 0 as typing. An entry of
    // pane 0 that cannot be loaded leaves pane 0 empty and closed to typing, and nothing is
    // saved over it; the other panes load all the same. Throws the first load or save error
    // once the page is loaded.
    void loadDate(const QDate &date);
    // Pane 0's text changed (typing, or a load): saves when its length in bytes is a non-zero
    // multiple of the autosave interval and it differs from what is on disk.
    void typed();
    // The focus left pane 0: saves its text when it differs from what is on disk.
    void leave();
    // Shows what another writer changed in the page's files; pane 0 only while it holds no
    // typing that is not on disk and nothing is being composed. The watcher's timer calls it.
    void followChangesElsewhere();
    // Looks at the page again after the follow delay (the window became active again: a
    // notification may have been missed).
    void followSoon();
    // The settings dialog is about to open: while the current diary folder is usable, pane 0's
    // typing is saved there; a save that fails stays that folder's failed save (and throws).
    void folderAboutToChange();
    // The settings were read again: when the diary folder changed, typing still in pane 0 goes
    // to the new folder and the page shows that folder's entries.
    void folderChanged();
    // An ordinary close: waits for the entry writer, saves pane 0, retries every failed save of
    // any day (in the folder it was written for while that one is usable), waits again and
    // throws what still fails (the caller keeps the window open). A failed text of the shown
    // day beside other typing there, or one its entry refuses, goes to a rescue file.
    void close();
    // A termination: never throws, never waits for a person (it waits for the entry writer).
    // Saves what it can, as close does; each text that cannot be saved goes to a rescue file
    // under its own date.
    QList<Rescue> terminate() noexcept;
    // Takes what the entry writer met since last asked: kept versions are told (versionKept),
    // failed saves are remembered per entry file. Throws the failures' messages (one line each).
    void takeWriterOutcomes();

    // --- What the page says. GUI thread. ---

    QDate date() const;
    // The entry file behind pane i, empty when there is no diary folder.
    QString entryPath(int index) const;
    // Pane 0 holds text that is neither loaded from nor confirmed on disk.
    bool hasUnsavedTyping() const;
    // False after pane 0's entry failed to load, and for an entry that can take no save.
    bool typingAllowed() const;
    // Why pane 0 takes no typing, where the person is told in the pane itself; else empty.
    QString typingRefusal() const;
    // Days whose failed save waits for a retry (the shown day's typing is in pane 0 instead).
    QList<QDate> failedDates() const;
    // Every text of the page not known to be on disk, pane 0's typing first; what search and the
    // calendar's marks count beside the files.
    QList<TextNotOnDisk> textsNotOnDisk() const;

signals:
    // The days that have an entry, or a text not yet on disk, may have changed: a save handed
    // over, an outcome taken, a change in a watched folder, another diary folder.
    void entryDaysChanged();
    // Another writer's version of an entry was kept beside it before a save replaced it.
    void versionKept(const QString &entryPath, const QString &keptPath);
    // Following the page on the watcher's timer failed (an entry that cannot be read).
    void followFailed(const QString &message);

private:
    using Unsaved = SaveBook::Save;

    void assertThread() const;
    // Pane 0: the entry of the calendar's year (not of today's date), the one that takes typing.
    TextPane &yearPane() const;
    void keepTyping(QStringList &errors);
    void loadPanes(int first, QStringList &errors);
    void loadPane(int index);
    QString pathOfPane(int index) const;
    static QString entryPathOf(const QDate &date);
    void showInYearPane(const QString &text);
    void shutYearPane();
    void allowTyping(bool allowed);
    void refuseTypingBecause(const QString &why);
    void saveYearPane(const QString &text);
    bool save(const QDate &date, const QString &text, const QString &folder);
    // False when the entry takes no save (read-only).
    bool retry(const Unsaved &unsaved);
    // The entry file a retry writes: its own while its folder is usable, else the shown folder's.
    static QString entryOfRetry(const Unsaved &unsaved);
    // Replaces what is known of the entry's save, or adds it.
    void remember(const Unsaved &unsaved);
    void forget(const QString &path);
    // Hands every failed save to the writer again; returns those it could not take, and
    // those of the shown day when pane 0 holds other typing.
    QList<Unsaved> retryFailed(bool yearPaneTyping);
    void settleWriter();
    void noteWriterOutcomes(QStringList &errors);
    void noteOutcome(const QString &path, const QString &text, const QString &error);
    void forgetSeen(const QString &path);
    void followDue();
    void watchPage();
    void retainKnown();
    static QList<Rescue> rescue(const QList<Unsaved> &lost);

    std::array<TextPane *, kPaneCount> m_panes;
    QDate m_date;
    QString m_folder; // the diary folder the page was loaded from
    std::array<QString, kPaneCount> m_paths;
    // Pane 0's text as last loaded from disk or handed to the writer; none when unknown.
    std::optional<QString> m_yearPaneOnDisk;
    bool m_typingAllowed = true;
    QString m_typingRefusal;
    bool m_loading = false;
    bool m_terminating = false;
    // Saves handed to the writer whose outcome is not taken yet, and saves that failed (the
    // shown day's failure is typing in pane 0 instead).
    SaveBook m_unsaved;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_followTimer = nullptr;
};
