// A second Orlune for the ordering campaign: the diary page and the real storage code on one
// diary folder, with panes that are plain texts, driven by one command a line on its input and
// answering each with one line. Usage: orderings_actor DIARYDIR YYYY-MM-DD CHARSTOSAVE swap|refuse
// (refuse: its file system cannot swap two names)
//   open            shows the day; answers "ok"
//   save MARK       types MARK at the end of the pane, leaves the pane and waits for the save;
//                   answers what the pane held before, in hex
//   follow          catches up with the disk; answers "ok"
//   close           closes (retried once, then a termination); answers "ok"
// It ends at the end of its input.

#include "orderings/CampaignPane.h"
#include "storage/DiaryPage.h"
#include "storage/DiaryText.h"
#include "storage/EntryWriter.h"
#include "storage/FileFaults.h"
#include "storage/Settings.h"

#include <QCoreApplication>
#include <QDate>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

void answer(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

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
    if (QByteArray(argv[4]) == "refuse")
        FileFaults::setHook([](FileFaults::Step step, const QString &) {
            return step == FileFaults::Step::Exchange;
        });
    EntryWriter writer;
    std::array<CampaignPane, 5> panes;
    DiaryPage page({&panes[0], &panes[1], &panes[2], &panes[3], &panes[4]});
    bool closed = false;
    for (std::string line; std::getline(std::cin, line);) {
        const QByteArray command = QByteArray::fromStdString(line);
        if (closed) {
            answer("ok");
        } else if (command == "open") {
            quietly([&] { page.loadDate(date); });
            answer("ok");
        } else if (command.startsWith("save ")) {
            const QString seen = panes[0].text();
            panes[0].typeAtEnd(QString::fromLatin1(command.mid(5)));
            quietly([&] { page.typed(); });
            quietly([&] { page.leave(); });
            EntryWriter::instance().waitForAll();
            quietly([&] { page.takeWriterOutcomes(); });
            answer(diaryTextToBytes(seen).toHex());
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
