// Against a plain model of line-break normalising (no lone CR or LF left, CR LF text unchanged):
// the normalised length the program computes, and a text read from any bytes writes back as
// exactly the normalised bytes (duplicate codes aside).

#include "FuzzCheck.h"
#include "storage/Cp932.h"
#include "storage/DiaryText.h"

#include <algorithm>
#include <cstdint>

namespace {

bool hasLoneBreak(QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const bool crAlone = bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n');
        const bool lfAlone = bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r');
        if (crAlone || lfAlone)
            return true;
    }
    return false;
}

// The model the program's line-break handling is checked against: lone CR and lone LF become
// CR LF; a double-byte character is copied whole.
QByteArray normaliseLineBreaks(QByteArrayView bytes)
{
    // CR and LF are never the second byte of a double-byte character, so a plain byte scan
    // already copies every double-byte character whole.
    const qsizetype n = bytes.size();
    const qsizetype breaks
        = std::count_if(bytes.begin(), bytes.end(), [](char b) { return b == '\r' || b == '\n'; });
    QByteArray out(n + breaks, Qt::Uninitialized);
    char *d = out.data();
    char *const begin = d;
    for (qsizetype i = 0; i < n; ++i) {
        const char b = bytes[i];
        if (b == '\r' || b == '\n') {
            *d++ = '\r';
            *d++ = '\n';
            if (b == '\r' && i + 1 < n && bytes[i + 1] == '\n')
                ++i;
        } else {
            *d++ = b;
        }
    }
    out.truncate(d - begin);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView x(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray normalised = normaliseLineBreaks(x);
    FUZZ_CHECK(!hasLoneBreak(normalised));
    if (!hasLoneBreak(x))
        FUZZ_CHECK(normalised == x);
    FUZZ_CHECK(normaliseLineBreaks(normalised) == normalised);
    FUZZ_CHECK(normalisedByteLength(x) == normalised.size());
    // Only breaks change: removing every CR and LF leaves the same bytes on both sides.
    QByteArray plainIn = x.toByteArray(), plainOut = normalised;
    plainIn.replace('\r', "").replace('\n', "");
    plainOut.replace('\r', "").replace('\n', "");
    FUZZ_CHECK(plainIn == plainOut);

    const QString text = diaryTextFromBytes(x);
    FUZZ_CHECK(!text.contains(u'\r'));
    FUZZ_CHECK(text == diaryTextFromBytes(normalised));
    const QByteArray written = diaryTextToBytes(text);
    FUZZ_CHECK(diaryTextByteLength(text) == written.size());
    FUZZ_CHECK(written.size() == normalised.size());
    FUZZ_CHECK(diaryTextFromBytes(written) == text);
    FUZZ_CHECK(diaryTextToBytes(diaryTextFromBytes(written)) == written);
    return 0;
}
