// Saves the crash texts into the entries of a diary folder, alternately, until killed.
// Usage: entry_save_loop DIARYDIR

#include "CrashTexts.h"
#include "storage/EntryFiles.h"
#include "storage/Settings.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fputs("usage: entry_save_loop DIARYDIR\n", stderr);
        return 2;
    }
    DiaryDir = QString::fromLocal8Bit(argv[1]);
    const QString texts[2] = {crashTextA(), crashTextB()};
    std::puts("saving");
    std::fflush(stdout);
    for (unsigned round = 0;; ++round) {
        for (int day = 1; day <= kCrashDays; ++day)
            saveCurrentEntry(texts[(round + day) % 2], kCrashYear, 1, day);
    }
}
