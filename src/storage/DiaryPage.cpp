#include "DiaryPage.h"

#include "storage/DiaryText.h"
#include "storage/EntryFiles.h"
#include "storage/EntryLedger.h"
#include "storage/EntryWriter.h"
#include "storage/Exception.h"
#include "storage/RescueFiles.h"
#include "storage/Settings.h"
#include "storage/StorageMessages.h"
#include "storage/TextPane.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QScopedValueRollback>
#include <QThread>
#include <QTimer>

#include <utility>

namespace {

// The diary folder an entry file lies in (its year folder's parent).
QString folderOfEntry(const QString &path)
{
    return QFileInfo(QFileInfo(path).path()).path();
}

// The date an entry file stands for: its year folder and its MMDD name.
QDate dateOfEntry(const QString &path)
{
    const QFileInfo file(path);
    const QString day = file.completeBaseName();
    return QDate(
        QFileInfo(file.path()).fileName().toInt(), day.left(2).toInt(), day.mid(2).toInt());
}

[[noreturn]] void raise(QStringList errors)
{
    errors.removeDuplicates();
    throw Exception(errors.join(QLatin1Char('\n')));
}

} // namespace

DiaryPage::DiaryPage(const std::array<TextPane *, kPaneCount> &panes, QObject *parent)
    : QObject(parent), m_panes(panes)
{
    m_watcher = new QFileSystemWatcher(this);
    m_followTimer = new QTimer(this);
    m_followTimer->setSingleShot(true);
    m_followTimer->setInterval(kFollowDelayMs);
    connect(
        m_watcher, &QFileSystemWatcher::fileChanged, m_followTimer, qOverload<>(&QTimer::start));
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_followTimer,
        qOverload<>(&QTimer::start));
    connect(m_followTimer, &QTimer::timeout, this, &DiaryPage::followDue);
}

DiaryPage::~DiaryPage()
{
    assertThread();
    EntryWriter::instance().waitForAll();
    EntryWriter::instance().takeOutcomes();
}

void DiaryPage::assertThread() const
{
    Q_ASSERT_X(QThread::currentThread() == thread(), "DiaryPage", "called off the GUI thread");
}

TextPane &DiaryPage::yearPane() const
{
    return *m_panes[0];
}

// --- Loading ---

void DiaryPage::loadDate(const QDate &date)
{
    assertThread();
    QStringList errors;
    // A failure the writer met for the day shown so far makes its text typing again, and
    // typing that is not on disk belongs to the day it was written for.
    noteWriterOutcomes(errors);
    if (m_date.isValid() && hasUnsavedTyping())
        keepTyping(errors);
    m_date = date;
    loadPanes(0, errors);
    if (!errors.isEmpty())
        raise(errors);
}

void DiaryPage::keepTyping(QStringList &errors)
{
    const QString text = yearPane().text();
    try {
        saveYearPane(text);
    } catch (const std::exception &error) {
        errors << errorMessageOf(error);
        remember(Unsaved {m_date, entryPathOf(m_date), text, true, errors.back(), DiaryDir});
    }
}

void DiaryPage::loadPanes(int first, QStringList &errors)
{
    const QScopedValueRollback loading(m_loading, true);
    // A settings dialog opened from pane 0's notification may have chosen another folder.
    for (int round = 0; round < 2 && (round == 0 || m_folder != DiaryDir); ++round) {
        if (round > 0 && hasUnsavedTyping())
            keepTyping(errors);
        const bool otherFolder = m_folder != DiaryDir;
        m_folder = DiaryDir;
        if (otherFolder)
            emit entryDaysChanged();
        for (int i = 0; i < kPaneCount; ++i)
            m_paths[i] = pathOfPane(i);
        for (int i = first; i < kPaneCount; ++i) {
            try {
                loadPane(i);
            } catch (const std::exception &error) {
                errors << errorMessageOf(error);
                // A failing pane 0 stays empty and shut; from another pane on, the page keeps
                // what it showed, as an interrupted load always has.
                if (i > 0)
                    break;
                shutYearPane();
            }
        }
    }
    retainKnown();
    watchPage();
}

QString DiaryPage::pathOfPane(int index) const
{
    // With no diary folder there is nothing to look for, not even at the root.
    if (DiaryDir.isEmpty() || !m_date.isValid())
        return QString();
    return entryFilePath(m_date.year() - index, m_date.month(), m_date.day());
}

QString DiaryPage::entryPathOf(const QDate &date)
{
    return entryFilePath(date.year(), date.month(), date.day());
}

void DiaryPage::loadPane(int index)
{
    const QString &path = m_paths[index];
    if (index > 0) {
        // With no diary folder there is no entry to read.
        const std::optional<QString> text = path.isEmpty() ? std::nullopt : readEntry(path);
        if (!text)
            m_panes[index]->clearText();
        else if (m_panes[index]->text() != *text)
            m_panes[index]->setText(*text);
        return;
    }
    m_yearPaneOnDisk.reset();
    refuseTypingBecause(QString());
    allowTyping(true);
    // A save of this day that failed shows again, as typing not yet on disk. The file is not
    // read: what was seen of it before decides whether the retry keeps it.
    // Only a failure in the folder shown: another folder's text is retried there.
    const SaveBook::Save *failed = m_unsaved.find(path);
    if (failed && failed->failed) {
        showInYearPane(m_unsaved.take(path)->text);
        return;
    }
    // A link to a file in a folder that is not there can take no save: typing would be stranded.
    const QString unreachable = unreachableLinkTarget(path);
    if (!unreachable.isEmpty()) {
        shutYearPane();
        refuseTypingBecause(StorageMessages::cannotCreate(unreachable));
        EntryLedger::instance().rememberAbsent(path);
        return;
    }
    const QString onDisk = path.isEmpty() ? QString() : readEntry(path).value_or(QString());
    m_yearPaneOnDisk = onDisk;
    // An entry that is never replaced takes no typing, which a close would have to drop.
    if (isReadOnlyFile(path))
        allowTyping(false);
    showInYearPane(onDisk);
}

void DiaryPage::showInYearPane(const QString &text)
{
    if (yearPane().text() == text)
        return;
    if (text.isEmpty())
        yearPane().clearText();
    else
        yearPane().setText(text);
}

void DiaryPage::shutYearPane()
{
    m_yearPaneOnDisk.reset();
    allowTyping(false);
    yearPane().clearText();
}

void DiaryPage::refuseTypingBecause(const QString &why)
{
    if (m_typingRefusal == why)
        return;
    m_typingRefusal = why;
    yearPane().setRefusalNote(why);
}

void DiaryPage::allowTyping(bool allowed)
{
    if (m_typingAllowed == allowed)
        return;
    m_typingAllowed = allowed;
    yearPane().setTypingAllowed(allowed);
}

// --- Saving ---

void DiaryPage::typed()
{
    assertThread();
    // A load is not typing: it never writes.
    if (m_loading || !hasUnsavedTyping())
        return;
    const QString text = yearPane().text();
    const qsizetype length = diaryTextByteLength(text);
    if (CharsToSave < 1 || length % CharsToSave != 0 || length == 0)
        return;
    saveYearPane(text);
}

void DiaryPage::leave()
{
    assertThread();
    if (!m_loading && hasUnsavedTyping())
        saveYearPane(yearPane().text());
}

bool DiaryPage::hasUnsavedTyping() const
{
    assertThread();
    return m_typingAllowed && m_date.isValid()
        && yearPane().text() != m_yearPaneOnDisk.value_or(QString());
}

void DiaryPage::saveYearPane(const QString &text)
{
    if (save(m_date, text, DiaryDir) && m_folder == DiaryDir)
        m_yearPaneOnDisk = text;
}

bool DiaryPage::save(const QDate &date, const QString &text, const QString &folder)
{
    // Handed to the entry writer counts as on disk, unless the writer reports otherwise.
    const SavedEntry saved = saveEntryIn(folder, text, date.year(), date.month(), date.day());
    if (!saved.onDisk)
        return false;
    const QString path = entryFilePathIn(folder, date.year(), date.month(), date.day());
    remember(Unsaved {date, path, text, false, QString(), folder});
    emit entryDaysChanged();
    return true;
}

void DiaryPage::forget(const QString &path)
{
    m_unsaved.remove(path);
}

void DiaryPage::remember(const Unsaved &unsaved)
{
    m_unsaved.put(unsaved);
}

// --- The writer's outcomes ---

void DiaryPage::takeWriterOutcomes()
{
    assertThread();
    QStringList errors;
    noteWriterOutcomes(errors);
    if (!errors.isEmpty())
        raise(errors);
}

void DiaryPage::noteWriterOutcomes(QStringList &errors)
{
    EntryWriter &writer = EntryWriter::instance();
    // Saves no longer in flight before the outcomes are taken have their outcome among them.
    QStringList settled;
    for (const Unsaved &unsaved : std::as_const(m_unsaved)) {
        if (!unsaved.failed && !isSavePending(unsaved.path))
            settled << unsaved.path;
    }
    const QList<EntryWriter::Outcome> outcomes = writer.takeOutcomes();
    for (const EntryWriter::Outcome &outcome : outcomes) {
        if (!outcome.keptFile.isEmpty())
            emit versionKept(outcome.entryPath, outcome.keptFile);
        noteOutcome(outcome.entryPath, outcome.text, outcome.error);
        if (!outcome.error.isEmpty())
            errors << outcome.error;
    }
    // A save that reported nothing went through.
    m_unsaved.removeIf(
        [&](const Unsaved &unsaved) { return !unsaved.failed && settled.contains(unsaved.path); });
    retainKnown();
    if (!outcomes.isEmpty() || !settled.isEmpty())
        emit entryDaysChanged();
}

void DiaryPage::noteOutcome(const QString &path, const QString &text, const QString &error)
{
    const SaveBook::Save *known = m_unsaved.find(path);
    if (error.isEmpty()) {
        if (known && !known->failed && known->text == text)
            m_unsaved.remove(path);
        return;
    }
    // A newer save of the entry is on its way and holds the typing.
    if (known && known->text != text && !known->failed)
        return;
    const QString folder = known ? m_unsaved.take(path)->folder : folderOfEntry(path);
    if (!m_terminating && path == m_paths[0] && m_typingAllowed) {
        // The shown day: the pane holds the text (or typing made since), which is not on disk.
        if (m_yearPaneOnDisk == text) {
            m_yearPaneOnDisk.reset();
            return;
        }
        if (!hasUnsavedTyping()) {
            // The pane shows a version loaded since: it is another writer's, not replaced
            // unkept.
            forgetSeen(path);
            m_yearPaneOnDisk.reset();
            const QScopedValueRollback loading(m_loading, true);
            showInYearPane(text);
            return;
        }
    }
    m_unsaved.put(Unsaved {dateOfEntry(path), path, text, true, error, folder});
}

QList<QDate> DiaryPage::failedDates() const
{
    assertThread();
    QList<QDate> dates;
    for (const Unsaved &unsaved : m_unsaved) {
        if (unsaved.failed && !dates.contains(unsaved.date))
            dates << unsaved.date;
    }
    return dates;
}

QList<DiaryPage::TextNotOnDisk> DiaryPage::textsNotOnDisk() const
{
    assertThread();
    using Kind = TextNotOnDisk::Kind;
    QList<TextNotOnDisk> texts;
    if (hasUnsavedTyping())
        texts << TextNotOnDisk {Kind::Typing, m_date, m_folder, m_paths[0], yearPane().text()};
    for (const Unsaved &unsaved : m_unsaved) {
        texts << TextNotOnDisk {unsaved.failed ? Kind::Failed : Kind::Pending, unsaved.date,
            unsaved.folder, unsaved.path, unsaved.text};
    }
    return texts;
}

// --- Following other writers ---

void DiaryPage::followDue()
{
    // Another writer may have made or removed an entry in a watched year folder.
    emit entryDaysChanged();
    try {
        followChangesElsewhere();
    } catch (const std::exception &error) {
        emit followFailed(errorMessageOf(error));
    }
}

void DiaryPage::followChangesElsewhere()
{
    assertThread();
    if (!m_date.isValid())
        return;
    QStringList errors;
    // Asked before the outcomes are taken: a save that ends in between reports in them.
    const bool yearPanePending = isSavePending(m_paths[0]);
    noteWriterOutcomes(errors);
    // Typing not yet on disk stays, and so does a composition; the next save keeps the other
    // version beside it.
    const bool followYearPane
        = !yearPanePending && !hasUnsavedTyping() && !yearPane().isComposing();
    loadPanes(followYearPane ? 0 : 1, errors);
    if (!errors.isEmpty())
        raise(errors);
}

void DiaryPage::followSoon()
{
    assertThread();
    m_followTimer->start();
}

void DiaryPage::watchPage()
{
    // A file replaced by a rename is no longer watched: the watches are set afresh each time.
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    QStringList paths;
    if (!DiaryDir.isEmpty() && QFileInfo(DiaryDir).isDir())
        paths << DiaryDir;
    for (const QString &path : m_paths) {
        if (path.isEmpty())
            continue;
        const QFileInfo entry(path);
        if (entry.dir().exists() && !paths.contains(entry.path()))
            paths << entry.path();
        if (entry.isFile())
            paths << path;
    }
    if (!paths.isEmpty())
        m_watcher->addPaths(paths);
}

void DiaryPage::forgetSeen(const QString &path)
{
    QStringList others(m_paths.begin(), m_paths.end());
    for (const Unsaved &unsaved : std::as_const(m_unsaved))
        others << unsaved.path;
    others.removeAll(path);
    EntryLedger::instance().retainOnly(others);
}

void DiaryPage::retainKnown()
{
    // What was seen of an entry whose save failed decides what its retry may replace.
    QStringList paths(m_paths.begin(), m_paths.end());
    for (const Unsaved &unsaved : std::as_const(m_unsaved))
        paths << unsaved.path;
    EntryLedger::instance().retainOnly(paths);
}

// --- The diary folder ---

void DiaryPage::folderAboutToChange()
{
    assertThread();
    if (!checkSettings() || !hasUnsavedTyping())
        return;
    const QString text = yearPane().text();
    try {
        saveYearPane(text);
    } catch (const std::exception &error) {
        // The typing stays this folder's: retried here, never taken to the next one.
        remember(
            Unsaved {m_date, entryPathOf(m_date), text, true, errorMessageOf(error), DiaryDir});
        m_yearPaneOnDisk = text;
        throw;
    }
}

void DiaryPage::folderChanged()
{
    assertThread();
    // A change while pane 0 is being loaded is followed by that load itself.
    if (m_loading || !m_date.isValid() || m_folder == DiaryDir)
        return;
    QStringList errors;
    // Typing the old folder could not take goes to the new one.
    if (hasUnsavedTyping())
        keepTyping(errors);
    loadPanes(0, errors);
    if (!errors.isEmpty())
        raise(errors);
}

// --- The end of the run ---

void DiaryPage::close()
{
    assertThread();
    // Saves that failed before are retried below, so their errors are not news yet.
    settleWriter();
    QStringList errors;
    const bool typing = hasUnsavedTyping();
    if (typing) {
        try {
            saveYearPane(yearPane().text());
        } catch (const std::exception &error) {
            errors << errorMessageOf(error);
        }
    }
    QList<Unsaved> lost = retryFailed(typing);
    EntryWriter::instance().waitForAll();
    noteWriterOutcomes(errors);
    // Those that failed again stay listed for the next try.
    for (const Unsaved &unsaved : std::as_const(lost)) {
        if (!unsaved.error.isEmpty())
            errors << unsaved.error;
    }
    // What no entry can take: kept where the person is told of it at the next start.
    lost.removeIf([](const Unsaved &unsaved) { return !unsaved.error.isEmpty(); });
    const QList<Rescue> rescued = rescue(lost);
    for (qsizetype i = 0; i < rescued.size(); ++i) {
        if (!rescued[i].file.isEmpty())
            continue;
        errors << rescued[i].error;
        remember(lost[i]);
    }
    if (!errors.isEmpty())
        raise(errors);
}

void DiaryPage::settleWriter()
{
    EntryWriter::instance().waitForAll();
    QStringList retried;
    noteWriterOutcomes(retried);
}

QList<DiaryPage::Unsaved> DiaryPage::retryFailed(bool yearPaneTyping)
{
    // They stay listed while retried, so what was seen of their entries is kept meanwhile.
    QList<Unsaved> failed;
    for (const Unsaved &unsaved : std::as_const(m_unsaved)) {
        if (unsaved.failed)
            failed << unsaved;
    }
    QList<Unsaved> lost;
    for (Unsaved &unsaved : failed) {
        // Beside other typing in pane 0 for the same entry file, neither text may replace the
        // other; an entry that takes no save (read-only) cannot take it either. The same day in
        // another diary folder is another file.
        if (!(yearPaneTyping && entryOfRetry(unsaved) == m_paths[0])) {
            try {
                if (retry(unsaved))
                    continue;
            } catch (const std::exception &error) {
                unsaved.error = errorMessageOf(error);
                remember(unsaved);
                lost << unsaved;
                continue;
            }
        }
        forget(unsaved.path);
        unsaved.error.clear();
        lost << unsaved;
    }
    return lost;
}

QString DiaryPage::entryOfRetry(const Unsaved &unsaved)
{
    if (QFileInfo(unsaved.folder).isDir() && !unsaved.folder.isEmpty())
        return unsaved.path;
    return entryPathOf(unsaved.date);
}

bool DiaryPage::retry(const Unsaved &unsaved)
{
    // A failed save goes to the folder it was written in while that one is usable.
    if (QFileInfo(unsaved.folder).isDir() && !unsaved.folder.isEmpty())
        return save(unsaved.date, unsaved.text, unsaved.folder);
    // Else to the folder now chosen, where an entry the page showed is still another text:
    // it is kept beside the retried one.
    const QString path = entryPathOf(unsaved.date);
    if (path == unsaved.path)
        return save(unsaved.date, unsaved.text, DiaryDir);
    forgetSeen(path);
    if (!save(unsaved.date, unsaved.text, DiaryDir))
        return false;
    forget(unsaved.path);
    return true;
}

QList<DiaryPage::Rescue> DiaryPage::terminate() noexcept
{
    assertThread();
    m_followTimer->stop();
    try {
        settleWriter();
    } catch (...) {
        // What the writer met is asked again below.
    }
    m_terminating = true;
    QList<Unsaved> lost;
    const bool typing = hasUnsavedTyping();
    if (typing) {
        try {
            save(m_date, yearPane().text(), DiaryDir);
        } catch (const std::exception &error) {
            lost << Unsaved {
                m_date, m_paths[0], yearPane().text(), true, errorMessageOf(error), DiaryDir};
        }
    }
    try {
        // Those that failed again are listed still, and rescued with the others below. A save
        // that fails while the writer is waited for gets the one retry a close would give it.
        for (const bool beside : {typing, false}) {
            for (const Unsaved &unsaved : retryFailed(beside)) {
                if (unsaved.error.isEmpty())
                    lost << unsaved;
            }
            EntryWriter::instance().waitForAll();
            QStringList errors;
            noteWriterOutcomes(errors);
        }
    } catch (...) {
        // Nothing more can be learnt of the writer; what is known to have failed is rescued.
    }
    for (const Unsaved &unsaved : std::as_const(m_unsaved)) {
        if (unsaved.failed)
            lost << unsaved;
    }
    m_unsaved.clear();
    return rescue(lost);
}

QList<DiaryPage::Rescue> DiaryPage::rescue(const QList<Unsaved> &lost)
{
    QList<Rescue> rescues;
    const QDateTime now = QDateTime::currentDateTime();
    for (const Unsaved &unsaved : lost) {
        Rescue rescued {unsaved.date, QString(), unsaved.error};
        // A second try, under another name, gets past a disk's passing error.
        for (int attempt = 0; attempt < 2 && rescued.file.isEmpty(); ++attempt) {
            try {
                rescued.file = writeRescueFile(unsaved.text, unsaved.date, now);
            } catch (const std::exception &error) {
                if (attempt > 0)
                    rescued.error += QLatin1Char('\n') + errorMessageOf(error);
            } catch (...) { }
        }
        rescues << rescued;
    }
    return rescues;
}

// --- What the page says ---

QDate DiaryPage::date() const
{
    assertThread();
    return m_date;
}

QString DiaryPage::entryPath(int index) const
{
    assertThread();
    return m_paths[index];
}

bool DiaryPage::typingAllowed() const
{
    assertThread();
    return m_typingAllowed;
}

QString DiaryPage::typingRefusal() const
{
    assertThread();
    return m_typingRefusal;
}
