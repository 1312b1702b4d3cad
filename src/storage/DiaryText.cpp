#include "DiaryText.h"

#include "Cp932.h"

#include <algorithm>

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

QString diaryTextFromBytes(QByteArrayView bytes)
{
    return diaryTextFromNormalisedBytes(normaliseLineBreaks(bytes));
}

QString diaryTextFromNormalisedBytes(QByteArrayView normalised)
{
    QString text = Cp932::decode(normalised);
    text.replace(u"\r\n"_qs, u"\n"_qs);
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
