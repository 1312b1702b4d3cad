#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Code page 932 as Windows reads and writes it, over ICU's converter.
// Bytes that are not valid code page 932 decode to reversible escape code points
// (one per byte, in a private-use range no keyboard or input method produces) and
// encode back to the very same byte, so opening a file never loses anything.
namespace Cp932 {

QString decode(QByteArrayView bytes);
QByteArray encode(QStringView text);
// Bytes that encode(text) gives, without building them.
qsizetype byteLength(QStringView text);
// Every character of text has a code page 932 form (or is an escaped byte).
bool canEncode(QStringView text);
bool canEncode(char32_t codePoint);

} // namespace Cp932
