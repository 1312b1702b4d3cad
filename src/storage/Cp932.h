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

// Byte b that is not valid code page 932 reads as the code point kEscapeBase + b.
constexpr char32_t kEscapeBase = 0x10FC00;

QString decode(QByteArrayView bytes);
// Raises "ストリームへの書き込みエラー" for a character without a form (see canEncode):
// nothing is ever written as "?" or a look-alike.
QByteArray encode(QStringView text);
// text less every escaped lead byte that encode would write right before a byte it pairs with
// (a stray lead byte followed by typing): read back, the two would make another character and
// change what follows. The same text when there is none; encode(result) always reads back as
// result.
QString withoutJoiningEscapes(QStringView text);
// How many escaped bytes text holds.
qsizetype escapeCount(QStringView text);
// Bytes that encode(text) gives, without building them. Exact for every encodable text; a
// character that cannot be encoded (and is never written) counts 2.
qsizetype byteLength(QStringView text);
// The same with each "\n" counted as CR LF: a diary text's length on disk.
qsizetype byteLengthWithCrLf(QStringView text);
// Every character of text has a code page 932 form (or is an escaped byte).
bool canEncode(QStringView text);
bool canEncode(char32_t codePoint);
// Builds the conversion tables now instead of at the first conversion, which would otherwise
// pay for them. Safe from any thread: the tables are built once and never change.
void prepare();

} // namespace Cp932
