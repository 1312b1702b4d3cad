#pragma once

#include "CampaignPane.h"
#include "History.h"
#include "Move.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>

class DiaryPage;

// The person at the page, through the diary page's calls, as the window makes them: what the
// person types is recorded as the text they meant, on the day and folder they saw. The only
// user of the page's interface in the campaign.
class Person
{
public:
    // folders: the history's name of each diary folder and its path; the first is shown first.
    Person(History &history, const QMap<QString, QString> &folders, const QDate &firstDay,
        Texts texts);
    ~Person();
    Person(const Person &) = delete;
    Person &operator=(const Person &) = delete;

    void open();
    void act(Event event);
    // The event loop's turn: the writer's news reaches the page (a failure is shown).
    void takeNews();
    // The end of the schedule: what is being composed is confirmed; a close, retried once,
    // and a termination when the close still fails.
    void finish();
    // The page is gone: its saves are waited for.
    void leaveProgram();

    bool isClosed() const { return m_closed; }
    bool terminated() const { return m_terminated; }
    // The entry the page shows: its path and its name in the history.
    QString shownPath() const;
    History::Entry shownEntry() const;
    // Messages the person was shown.
    const QStringList &messages() const { return m_messages; }

private:
    void type(bool reachInterval);
    void compose();
    void confirm();
    void changeDay();
    void changeFolder();
    void close();
    void terminate();
    void follow();
    QString folderName() const;
    template<typename Call> void shown(Call call);

    History &m_history;
    QMap<QString, QString> m_folders;
    QDate m_days[2];
    Texts m_texts;
    std::array<CampaignPane, 5> m_panes;
    std::unique_ptr<DiaryPage> m_page;
    bool m_closed = false;
    bool m_terminated = false;
    // A composition in progress: what the pane held when it started, and where it belongs.
    std::optional<QString> m_composeSeen;
    History::Entry m_composeEntry;
    QString m_word;
    QStringList m_messages;
};
