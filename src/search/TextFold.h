#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// Texts folded the way a Japanese reader compares them when searching (FoldTable), so that a
// query found in the folded text is found in the original: ＡＢＣ, abc; ｶﾞ, ガ, が; 〜, ～.
// Voiced and semi-voiced kana, small and large kana, accents and different kanji stay apart.
namespace TextFold {

// Characters outside the Basic Multilingual Plane, among them the escapes of bytes that are
// not code page 932, fold to this, which no query term matches.
constexpr char16_t kNeverMatches = 0xFFFF;

QString fold(QStringView text);
// The same into out, whose room is kept for the next call.
void fold(QStringView text, QString &out);

// The characters of text behind folded[foldedStart, foldedEnd): [start, end) in text.
struct Span
{
    qsizetype start = 0;
    qsizetype end = 0;
};
Span originalSpan(QStringView text, qsizetype foldedStart, qsizetype foldedEnd);

// Every occurrence of each folded term in text, as spans of text, in the order of text.
QList<Span> occurrences(QStringView text, const QStringList &foldedTerms);

} // namespace TextFold
