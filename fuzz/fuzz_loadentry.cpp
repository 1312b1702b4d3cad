// Any file loads as an entry without a crash, shows the normalised text, and saves back to
// bytes that load as the very same text: an entry is never silently changed by a round trip.

#include "../tests/FakePane.h"
#include "../tests/SavedNow.h"
#include "FuzzCheck.h"
#include "storage/DiaryText.h"
#include "storage/EntryFiles.h"
#include "storage/EntryWriter.h"
#include "storage/Exception.h"
#include "storage/Settings.h"

#include <QDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // One per input, so each input's saves are in place before the next begins.
    EntryWriter writer;
    DiaryDir = fuzzFolder();
    const QString path = entryFilePath(2026, 12, 8);
    QDir().mkpath(yearFolderPath(2026));
    writeRaw(path, bytes);

    FakePane pane;
    pane.setText(u"previous"_qs);
    pane.changes = 0;
    loadEntryFile(pane, path);
    const QString expected = diaryTextFromBytes(bytes);
    FUZZ_CHECK(pane.text() == expected);
    FUZZ_CHECK(pane.changes == (expected == u"previous"_qs ? 0 : 1));
    FUZZ_CHECK(readRaw(path) == bytes);

    // Loading the same file again is no change.
    const int changes = pane.changes;
    loadEntryFile(pane, path);
    FUZZ_CHECK(pane.changes == changes);

    if (expected.isEmpty())
        return 0;
    saveNow(pane.text(), 2026, 12, 8);
    FUZZ_CHECK(readRaw(path) == diaryTextToBytes(expected));
    FakePane reloaded;
    loadEntryFile(reloaded, path);
    FUZZ_CHECK(reloaded.text() == expected);
    FUZZ_CHECK(QDir(yearFolderPath(2026)).entryList(QDir::Files | QDir::Hidden).size() == 1);
    return 0;
}
