#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Texts in memory break lines with "\n"; on disk with CR LF in code page 932.

// The size of bytes once every lone CR and lone LF is made CR LF, as saving the text read from
// them writes it (duplicate codes aside).
qsizetype normalisedByteLength(QByteArrayView bytes);
// File bytes to the text a pane holds: CR LF, lone CR and lone LF each become "\n".
QString diaryTextFromBytes(QByteArrayView bytes);
// A pane's text to file bytes.
QByteArray diaryTextToBytes(QStringView text);
// diaryTextToBytes(text).size(), without building it: a line break counts 2.
qsizetype diaryTextByteLength(QStringView text);
