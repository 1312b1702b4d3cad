// Any file loads as an entry, takes typing (and deletions) anywhere, saves and loads again with
// every typed character as typed: a byte that is not code page 932 stays where it was unless it
// would join the typing after it into another character, and then the file's previous bytes
// are kept whole beside the entry.
//
// Input: one byte, the number of edits (up to 7); three bytes an edit (position, little end
// first; what is typed, or a deletion when the high bit is set); the rest is the file.

#include "../tests/FakePane.h"
#include "../tests/SavedNow.h"
#include "FuzzCheck.h"
#include "storage/Cp932.h"
#include "storage/DiaryText.h"
#include "storage/EntryFiles.h"
#include "storage/EntryWriter.h"
#include "storage/Settings.h"

#include <QDir>

#include <array>
#include <cstdint>

namespace {

// What a person types: ASCII, kana, kanji, half-width katakana, a line break, and characters
// with two codes, whose form after a stray lead byte is chosen so as not to join it.
const std::array kTyped = {u"あ", u"いう", u"a", u"Z9 ", u"ｱｲ", u"\n", u"漢字", u"≒", u"∵", u"①",
    u"ⅰ", u"纊", u"髙", u"﨑", u"ー", u"Ｂ", u"@", u"~", u"\\", u"ア\nイ"};

QString withoutEscapes(QString text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size())
            ++i;
        else
            out += text.at(i);
    }
    return out;
}

// A position between characters: never inside an escaped byte's two units.
qsizetype boundary(const QString &text, qsizetype at)
{
    at = at % (text.size() + 1);
    if (at > 0 && at < text.size() && text.at(at).isLowSurrogate())
        ++at;
    return at;
}

void edit(QString &text, uint16_t position, uint8_t what)
{
    const qsizetype at = boundary(text, position);
    if ((what & 0x80) == 0) {
        text.insert(at, QString::fromUtf16(kTyped[what % kTyped.size()]));
        return;
    }
    if (at >= text.size())
        return;
    text.remove(at, text.at(at).isHighSurrogate() ? 2 : 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t edits = data[0] % 8;
    if (size < 1 + 3 * edits)
        return 0;
    const QByteArrayView file(
        reinterpret_cast<const char *>(data + 1 + 3 * edits), qsizetype(size - 1 - 3 * edits));
    // One per input, so each input's saves are in place before the next begins.
    EntryWriter writer;
    DiaryDir = fuzzFolder();
    QDir(yearFolderPath(2026)).removeRecursively();
    QDir().mkpath(yearFolderPath(2026));
    const QString path = entryFilePath(2026, 12, 8);
    writeRaw(path, file);

    FakePane pane;
    loadEntryFile(pane, path);
    const QString loaded = pane.text();
    QString typed = loaded;
    for (size_t i = 0; i < edits; ++i) {
        const uint8_t *e = data + 1 + 3 * i;
        edit(typed, uint16_t(e[0] | e[1] << 8), e[2]);
    }
    if (typed.isEmpty() || typed == loaded)
        return 0;
    saveNow(typed, 2026, 12, 8);

    FakePane reloaded;
    loadEntryFile(reloaded, path);
    // Every character typed or kept reads back as it is; only escaped bytes may be left out,
    // and only those that would join what follows them.
    FUZZ_CHECK(withoutEscapes(reloaded.text()) == withoutEscapes(typed));
    FUZZ_CHECK(reloaded.text() == Cp932::withoutJoiningEscapes(typed));
    FUZZ_CHECK(Cp932::escapeCount(reloaded.text()) <= Cp932::escapeCount(typed));
    // A byte of the file that the entry no longer holds is in a copy of the whole file beside it.
    const QStringList files = QDir(yearFolderPath(2026)).entryList(QDir::Files | QDir::Hidden);
    if (reloaded.text().size() == typed.size()) {
        FUZZ_CHECK(files.size() == 1);
        return 0;
    }
    FUZZ_CHECK(files.size() == 2);
    const QString kept = files.at(0) == u"1208.txt" ? files.at(1) : files.at(0);
    FUZZ_CHECK(kept.startsWith(u"1208.conflict-"));
    FUZZ_CHECK(readRaw(yearFolderPath(2026) + u'/' + kept) == file);
    return 0;
}
