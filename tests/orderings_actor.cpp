// A second Orlune for the ordering campaign: the diary page and the real storage code on one
// diary folder, with panes that are plain texts, driven by one command a line on its input and
// answering each with one line. Usage: orderings_actor DIARYDIR YYYY-MM-DD CHARSTOSAVE swap|refuse
// (refuse: its file system cannot swap two names)
//   refuse          its file system cannot swap two names from now on; answers nothing (it is
//                   taken while it waits at a step too)
//   arm STEP fail   the next step STEP of a save fails; answers "ok"
//   arm STEP pause  the next step STEP of a save says "paused STEP" and waits for a line "go"
//                   before it goes on; answers "ok"
//   open            shows the day and clears what a crash left beside its entry, as the first
//                   save of a start does; answers "ok"
//   save MARK       answers "typed HEX", what the pane held before MARK is typed at its end; then
//                   leaves the pane and waits for the save; answers "saved". A save that waits
//                   for another process's lock says "busy" (once or more) meanwhile
//   follow          catches up with the disk; answers "ok"
//   close           closes (retried once, then a termination); answers "ok"
// Any command may meet an armed pause first. It ends at the end of its input.

#include "orderings/CampaignPane.h"
#include "orderings/Move.h"
#include "storage/AtomicFile.h"
#include "storage/DiaryPage.h"
#include "storage/DiaryText.h"
#include "storage/EntryFiles.h"
#include "storage/EntryWriter.h"
#include "storage/FileFaults.h"
#include "storage/Settings.h"

#include <QCoreApplication>
#include <QDate>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

namespace {

void answer(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The moves armed at the steps of this process's saves. The hook runs on the thread of the step
// (the main one or the entry writer's); the main thread waits for the writer meanwhile, so only
// one of them reads the input at a time.
class Arms
{
public:
    Arms(const QString &diary, bool refuseSwaps) : m_diary(diary + u'/'), m_refuse(refuseSwaps) { }

    void arm(FileFaults::Step step, bool fail)
    {
        const std::lock_guard lock(m_mutex);
        m_armed.append({step, fail});
    }
    void setSaving(bool saving) { m_saving = saving; }
    void refuseSwaps() { m_refuse = true; }

    bool onStep(FileFaults::Step step, const QString &path)
    {
        if (!path.startsWith(m_diary))
            return false;
        if (step == FileFaults::Step::Busy) {
            if (m_saving)
                answer("busy");
            return false;
        }
        const bool refused = m_refuse && step == FileFaults::Step::Exchange;
        std::optional<bool> fail;
        {
            const std::lock_guard lock(m_mutex);
            for (qsizetype i = 0; i < m_armed.size() && !fail; ++i) {
                if (m_armed[i].first == step)
                    fail = m_armed.takeAt(i).second;
            }
        }
        if (!fail)
            return refused;
        if (*fail)
            return true;
        answer("paused " + stepName(step).toLatin1());
        for (std::string line; std::getline(std::cin, line) && line != "go";) {
            if (line == "refuse")
                refuseSwaps();
        }
        return refused || (m_refuse && step == FileFaults::Step::Exchange);
    }

private:
    QString m_diary;
    std::atomic<bool> m_refuse;
    std::atomic<bool> m_saving {false};
    std::mutex m_mutex;
    QList<std::pair<FileFaults::Step, bool>> m_armed;
};

template<typename Call> bool quietly(Call call)
{
    try {
        call();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fputs("usage: orderings_actor DIARYDIR YYYY-MM-DD CHARSTOSAVE swap|refuse\n", stderr);
        return 2;
    }
    DiaryDir = QString::fromLocal8Bit(argv[1]);
    const QDate date = QDate::fromString(QString::fromLatin1(argv[2]), Qt::ISODate);
    CharsToSave = QByteArray(argv[3]).toInt();
    FileFaults::setFlushesSkipped(true);
    Arms arms(DiaryDir, QByteArray(argv[4]) == "refuse");
    FileFaults::setHook(
        [&arms](FileFaults::Step step, const QString &path) { return arms.onStep(step, path); });
    EntryWriter writer;
    std::array<CampaignPane, 5> panes;
    DiaryPage page({&panes[0], &panes[1], &panes[2], &panes[3], &panes[4]});
    bool closed = false;
    for (std::string line; std::getline(std::cin, line);) {
        const QByteArray command = QByteArray::fromStdString(line);
        if (command == "refuse") {
            arms.refuseSwaps();
        } else if (closed) {
            answer("ok");
        } else if (command.startsWith("arm ")) {
            const QList<QByteArray> words = command.split(' ');
            const std::optional<FileFaults::Step> step
                = stepNamed(QString::fromLatin1(words.value(1)));
            if (step)
                arms.arm(*step, words.value(2) == "fail");
            answer(step ? "ok" : "unknown");
        } else if (command == "open") {
            quietly([&] { page.loadDate(date); });
            quietly([&] {
                AtomicFile::clearEntryLeftovers(
                    entryFilePath(date.year(), date.month(), date.day()));
            });
            answer("ok");
        } else if (command.startsWith("save ")) {
            const QString seen = panes[0].text();
            answer("typed " + diaryTextToBytes(seen).toHex());
            panes[0].typeAtEnd(QString::fromLatin1(command.mid(5)));
            arms.setSaving(true);
            quietly([&] { page.typed(); });
            quietly([&] { page.leave(); });
            EntryWriter::instance().waitForAll();
            arms.setSaving(false);
            quietly([&] { page.takeWriterOutcomes(); });
            answer("saved");
        } else if (command == "follow") {
            quietly([&] { page.followChangesElsewhere(); });
            answer("ok");
        } else if (command == "close") {
            if (!quietly([&] { page.close(); }) && !quietly([&] { page.close(); }))
                page.terminate();
            closed = true;
            answer("ok");
        } else {
            answer("unknown");
        }
    }
    return 0;
}
