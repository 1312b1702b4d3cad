#include "DiaryText.h"

#include "storage/Cp932.h"

qsizetype normalisedByteLength(QByteArrayView bytes)
{
    // Every CR and LF grows by one byte except the two of a CR LF pair. Counted in plain loops
    // the compiler vectorises, since every page load asks before decoding.
    const char *p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype breaks = 0;
    for (qsizetype i = 0; i < n; ++i)
        breaks += (p[i] == '\r') + (p[i] == '\n');
    qsizetype pairs = 0;
    for (qsizetype i = 0; i + 1 < n; ++i)
        pairs += (p[i] == '\r') & (p[i + 1] == '\n');
    return n + breaks - 2 * pairs;
}

QString diaryTextFromBytes(QByteArrayView bytes)
{
    // CR and LF decode as themselves and are never part of a double-byte character or an
    // escape, so the line breaks can be folded after decoding, in place, in one pass.
    QString text = Cp932::decode(bytes);
    char16_t *const begin = reinterpret_cast<char16_t *>(text.data());
    const char16_t *const end = begin + text.size();
    char16_t *d = begin;
    for (const char16_t *s = begin; s < end; ++s) {
        if (*s == u'\r') {
            *d++ = u'\n';
            if (s + 1 < end && s[1] == u'\n')
                ++s;
        } else {
            *d++ = *s;
        }
    }
    text.truncate(d - begin);
    return text;
}

QByteArray diaryTextToBytes(QStringView text)
{
    QByteArray bytes = Cp932::encode(text);
    bytes.replace("\n", "\r\n");
    return bytes;
}

qsizetype diaryTextByteLength(QStringView text)
{
    return Cp932::byteLengthWithCrLf(text);
}
