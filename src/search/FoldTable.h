#pragma once

#include <QList>
#include <QStringView>

#include <cstdint>

// What each character of the Basic Multilingual Plane reads as to someone searching Japanese:
// the code page 932 twins that input methods and Windows disagree on made one, then NFKC with
// case folding, then katakana as hiragana. Made from ICU once, on the first search (never at
// start-up), and read-only afterwards, so any thread may read it.
class FoldTable
{
public:
    // Built on the first call, by whichever thread makes it; later calls wait for nothing.
    static const FoldTable &instance();

    // The folded form of one UTF-16 unit (a surrogate folds to itself).
    QStringView of(char16_t unit) const
    {
        const uint32_t start = m_start[unit];
        return QStringView(m_pool.constData() + start, m_start[unit + 1] - start);
    }
    // The kana that a voiced or semi-voiced mark (U+3099, U+309A) makes of the kana before it,
    // folded; 0 when they do not join.
    char16_t joined(char16_t kana, char16_t mark) const;

    FoldTable(const FoldTable &) = delete;
    FoldTable &operator=(const FoldTable &) = delete;

private:
    FoldTable();

    QList<uint32_t> m_start; // 0x10001 offsets into m_pool
    QList<char16_t> m_pool;
    // Hiragana and katakana with a following voiced (0) or semi-voiced (1) mark.
    QList<char16_t> m_voiced[2];
};
