#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Texts in memory break lines with "\n"; on disk with CR LF in code page 932.

// Lone CR and lone LF become CR LF; a double-byte character is copied whole.
QByteArray normaliseLineBreaks(QByteArrayView bytes);
// File bytes to the text a pane holds.
QString diaryTextFromBytes(QByteArrayView bytes);
// The same for bytes that normaliseLineBreaks has already made.
QString diaryTextFromNormalisedBytes(QByteArrayView normalised);
// A pane's text to file bytes.
QByteArray diaryTextToBytes(QStringView text);
// diaryTextToBytes(text).size(), without building it: a line break counts 2.
qsizetype diaryTextByteLength(QStringView text);
