#include "Person.h"

#include "storage/DiaryPage.h"
#include "storage/DiaryText.h"
#include "storage/EntryWriter.h"
#include "storage/Settings.h"

#include <exception>

Person::Person(
    History &history, const QMap<QString, QString> &folders, const QDate &firstDay, Texts texts)
    : m_history(history), m_folders(folders), m_days {firstDay, firstDay.addDays(1)}, m_texts(texts)
{ }

Person::~Person()
{
    leaveProgram();
}

void Person::open()
{
    DiaryDir = m_folders.first();
    m_page = std::make_unique<DiaryPage>(std::array<TextPane *, 5> {
        &m_panes[0], &m_panes[1], &m_panes[2], &m_panes[3], &m_panes[4]});
    shown([&] { m_page->loadDate(m_days[0]); });
}

void Person::leaveProgram()
{
    m_page.reset();
}

template<typename Call> void Person::shown(Call call)
{
    // What the window would show in a message box.
    try {
        call();
    } catch (const std::exception &error) {
        m_messages << QString::fromUtf8(error.what());
    }
}

QString Person::folderName() const
{
    return m_folders.key(DiaryDir);
}

QString Person::shownPath() const
{
    return m_page->entryPath(0);
}

History::Entry Person::shownEntry() const
{
    return History::Entry {folderName(), m_page->date()};
}

void Person::act(Event event)
{
    if (m_closed)
        return;
    // Clicking or typing elsewhere confirms the word first; the watcher does not.
    if (isPersonEvent(event))
        confirm();
    switch (event) {
    case Event::Type:
        return type(false);
    case Event::SaveKey:
        return type(true);
    case Event::Leave:
        return shown([&] { m_page->leave(); });
    case Event::ChangeDay:
        return changeDay();
    case Event::ChangeFolder:
        return changeFolder();
    case Event::Compose:
        return compose();
    case Event::Close:
        return close();
    case Event::Terminate:
        return terminate();
    case Event::Follow:
        return follow();
    case Event::Deliver:
        return shown([&] { m_page->takeWriterOutcomes(); });
    default:
        return;
    }
}

void Person::type(bool reachInterval)
{
    if (!m_panes[0].typingAllowed())
        return;
    const QString seen = m_panes[0].text();
    const QString mark = m_history.mark(QStringLiteral("p"));
    // A line break is CR LF on disk; 表 and ソ have a backslash for their trail byte.
    QString typed
        = m_texts == Texts::Japanese ? u"表ソ"_qs + mark + u"\n日記 "_qs : u"あ"_qs + mark + u' ';
    const auto length = [&] { return diaryTextByteLength(seen + typed); };
    if (reachInterval) {
        while (length() % CharsToSave != 0)
            typed += u'.';
    } else if (length() % CharsToSave == 0) {
        typed += u'-';
    }
    m_history.add(History::Writer::Person, shownEntry(), diaryTextToBytes(seen + typed),
        diaryTextToBytes(seen));
    m_panes[0].typeAtEnd(typed);
    shown([&] { m_page->typed(); });
}

void Person::compose()
{
    if (!m_panes[0].typingAllowed())
        return;
    m_composeSeen = m_panes[0].text();
    m_composeEntry = shownEntry();
    m_word = u"かな"_qs + m_history.mark(QStringLiteral("c"));
    m_panes[0].startComposing(m_word);
}

void Person::confirm()
{
    if (!m_composeSeen)
        return;
    const QString seen = *std::exchange(m_composeSeen, std::nullopt);
    m_history.add(History::Writer::Person, m_composeEntry, diaryTextToBytes(seen + m_word),
        diaryTextToBytes(seen));
    m_panes[0].confirm();
    shown([&] { m_page->typed(); });
}

void Person::changeDay()
{
    // The calendar takes the focus first.
    shown([&] { m_page->leave(); });
    const QDate next = m_page->date() == m_days[0] ? m_days[1] : m_days[0];
    shown([&] { m_page->loadDate(next); });
}

void Person::changeFolder()
{
    shown([&] { m_page->folderAboutToChange(); });
    const QString next = DiaryDir == m_folders.first() ? m_folders.last() : m_folders.first();
    DiaryDir = next;
    shown([&] { m_page->folderChanged(); });
}

void Person::close()
{
    const qsizetype before = m_messages.size();
    shown([&] { m_page->close(); });
    // A close that reports a failure keeps the window open.
    m_closed = m_messages.size() == before;
}

void Person::terminate()
{
    m_page->terminate();
    m_closed = true;
    m_terminated = true;
}

void Person::follow()
{
    shown([&] { m_page->followChangesElsewhere(); });
}

void Person::takeNews()
{
    if (m_closed || !m_page)
        return;
    shown([&] { m_page->takeWriterOutcomes(); });
}

void Person::finish()
{
    if (m_closed)
        return;
    confirm();
    close();
    if (!m_closed)
        close();
    if (!m_closed)
        terminate();
}
