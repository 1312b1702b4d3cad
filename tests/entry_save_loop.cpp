// Saves the crash texts into the entries of a diary folder, alternately, until killed.
// Usage: entry_save_loop DIARYDIR

#include "CrashTexts.h"
#include "FakePane.h"
#include "storage/EntryFiles.h"
#include "storage/EntryWriter.h"
#include "storage/Settings.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: entry_save_loop DIARYDIR\n", stderr);
        return 2;
    }
    DiaryDir = QString::fromLocal8Bit(argv[1]);
    EntryWriter writer;
    const QString texts[2] = {crashTextA(), crashTextB()};
    // As the program does: an entry is replaced only once this run has seen it.
    for (int day = 1; day <= kCrashDays; ++day) {
        FakePane pane;
        loadEntryFile(pane, entryFilePath(kCrashYear, 1, day));
    }
    std::puts("saving");
    std::fflush(stdout);
    for (unsigned round = 0;; ++round) {
        for (int day = 1; day <= kCrashDays; ++day)
            saveCurrentEntry(texts[(round + day) % 2], kCrashYear, 1, day);
    }
}
