#include "DiaryText.h"

#include "Cp932.h"

QByteArray normaliseLineBreaks(QByteArrayView bytes)
{
    // CR and LF are never the second byte of a double-byte character, so a plain byte scan
    // already copies every double-byte character whole.
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 16 + 2);
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char b = bytes[i];
        if (b == '\r') {
            out.append("\r\n", 2);
            if (i + 1 < n && bytes[i + 1] == '\n')
                ++i;
        } else if (b == '\n') {
            out.append("\r\n", 2);
        } else {
            out.append(b);
        }
    }
    return out;
}

QString diaryTextFromBytes(QByteArrayView bytes)
{
    QString text = Cp932::decode(normaliseLineBreaks(bytes));
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
