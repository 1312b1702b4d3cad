#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class StagedFile;

// Puts entry saves in place on a thread of its own, so that typing never waits for a slow disk.
// The GUI thread writes the new text under a temporary name (where anything that fails is
// reported on the keystroke); this thread flushes it, keeps another writer's version of the entry
// beside it, renames it over the entry and flushes the folder. Saves of one entry are applied in
// the order they came; one still waiting when a newer save of the same entry arrives is dropped,
// since the newer text holds all the typing. What the thread met is collected as outcomes that
// the GUI thread takes once told.
class EntryWriter : public QObject
{
    Q_OBJECT

public:
    struct Outcome
    {
        QString entryPath;
        QString text; // what the save was for
        QString keptFile; // another writer's version kept beside the entry first, or empty
        QString error; // the message of the step that failed, or empty
    };

    static EntryWriter &instance();
    ~EntryWriter() override;

    void submit(const QString &entryPath, const QString &text, const QByteArray &bytes,
        std::unique_ptr<StagedFile> staged);
    // The bytes of the newest save of the entry that is not on disk yet, if there is one.
    std::optional<QByteArray> pendingBytes(const QString &entryPath) const;
    // Returns once every save handed over so far is on disk, or has failed.
    void waitForAll();
    QList<Outcome> takeOutcomes();

signals:
    // Raised on the writer's thread when outcomes wait to be taken.
    void outcomesReady();

private:
    struct Job
    {
        QString entryPath;
        QString text;
        QByteArray bytes;
        std::unique_ptr<StagedFile> staged;
    };

    EntryWriter();
    void run();
    static Outcome apply(Job &job);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_waiting; // at most one of each entry
    std::optional<Job> m_current;
    QList<Outcome> m_outcomes;
    bool m_stopping = false;
    std::thread m_thread;
};
