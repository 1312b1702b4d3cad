// The line-break normaliser leaves no lone CR or LF, passes CR LF text unchanged, and a text
// read from any bytes writes back as exactly the normalised bytes (duplicate codes aside).

#include "FuzzCheck.h"
#include "storage/Cp932.h"
#include "storage/DiaryText.h"

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
