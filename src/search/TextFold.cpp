#include "TextFold.h"

#include "search/FoldTable.h"

#include <algorithm>

namespace {

// Folds text into out; origins, when given, receives for each folded unit the index in text of
// the character it came from, then the index where folding stopped (text.size() unless out
// reached limit units first; a character is always folded whole).
void foldInto(QStringView text, QString &out, QList<qsizetype> *origins, qsizetype limit = -1)
{
    const FoldTable &table = FoldTable::instance();
    const qsizetype n = text.size();
    out.resize(n + 64);
    char16_t *buffer = reinterpret_cast<char16_t *>(out.data());
    qsizetype used = 0;
    const auto room = [&](qsizetype more) {
        if (used + more > out.size()) {
            out.resize(std::max(out.size() * 2, used + more + 64));
            buffer = reinterpret_cast<char16_t *>(out.data());
        }
    };
    qsizetype i = 0;
    while (i < n && (limit < 0 || used < limit)) {
        const char16_t c = text[i].unicode();
        qsizetype next = i + 1;
        QStringView folded;
        const char16_t never = TextFold::kNeverMatches;
        if (QChar::isSurrogate(c)) {
            if (QChar::isHighSurrogate(c) && next < n && text[next].isLowSurrogate())
                ++next;
            folded = QStringView(&never, 1);
        } else {
            folded = table.of(c);
        }
        // A half-width voiced mark, or a combining one, joins the kana before it.
        if (!folded.isEmpty() && used > 0) {
            if (const char16_t joined = table.joined(buffer[used - 1], folded[0].unicode())) {
                buffer[used - 1] = joined;
                folded = folded.mid(1);
            }
        }
        room(folded.size());
        for (const QChar unit : folded) {
            buffer[used++] = unit.unicode();
            if (origins)
                origins->append(i);
        }
        i = next;
    }
    out.truncate(used);
    if (origins)
        origins->append(i);
}

// Where the characters behind folded[.., foldedEnd) end in the text: a character that folded
// into several units is taken whole.
qsizetype endOf(const QList<qsizetype> &origins, qsizetype foldedSize, qsizetype foldedEnd)
{
    if (foldedEnd <= 0)
        return origins.value(0);
    const qsizetype from = origins[foldedEnd - 1];
    qsizetype k = foldedEnd;
    while (k < foldedSize && origins[k] == from)
        ++k;
    return origins[k];
}

} // namespace

namespace TextFold {

QString fold(QStringView text)
{
    QString out;
    foldInto(text, out, nullptr);
    return out;
}

void fold(QStringView text, QString &out)
{
    foldInto(text, out, nullptr);
}

Span originalSpan(QStringView text, qsizetype foldedStart, qsizetype foldedEnd)
{
    // Asked for every row found: the room is kept from one call to the next.
    thread_local QString folded;
    thread_local QList<qsizetype> origins;
    origins.clear();
    foldInto(text, folded, &origins, foldedEnd + 1);
    foldedEnd = std::min(foldedEnd, folded.size());
    foldedStart = std::min(foldedStart, foldedEnd);
    return {origins[foldedStart], endOf(origins, folded.size(), foldedEnd)};
}

QList<Span> occurrences(QStringView text, const QStringList &foldedTerms)
{
    QString folded;
    QList<qsizetype> origins;
    foldInto(text, folded, &origins);
    QList<Span> spans;
    for (const QString &term : foldedTerms) {
        if (term.isEmpty())
            continue;
        for (qsizetype at = folded.indexOf(term); at >= 0;
             at = folded.indexOf(term, at + term.size()))
            spans.append({origins[at], endOf(origins, folded.size(), at + term.size())});
    }
    std::sort(
        spans.begin(), spans.end(), [](const Span &a, const Span &b) { return a.start < b.start; });
    return spans;
}

} // namespace TextFold
