#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Texts in memory break lines with "\n"; on disk with CR LF in code page 932.

// Lone CR and lone LF become CR LF; a double-byte character is copied whole.
QByteArray normaliseLineBreaks(QByteArrayView bytes);
// normaliseLineBreaks(bytes).size(), without building it.
qsizetype normalisedByteLength(QByteArrayView bytes);
// File bytes to the text a pane holds: CR LF, lone CR and lone LF each become "\n".
QString diaryTextFromBytes(QByteArrayView bytes);
// A pane's text to file bytes.
QByteArray diaryTextToBytes(QStringView text);
// diaryTextToBytes(text).size(), without building it: a line break counts 2.
qsizetype diaryTextByteLength(QStringView text);
