#include "SearchQuery.h"

#include "search/TextFold.h"

namespace {

// Finds needle in haystack from from: the first character by the library's vectorised scan,
// then the rest compared, which for text several times faster than a general substring search.
qsizetype findFrom(QStringView haystack, QStringView needle, qsizetype from)
{
    const QChar first = needle.front();
    const QStringView rest = needle.mid(1);
    const qsizetype last = haystack.size() - needle.size();
    while (from <= last) {
        const qsizetype at = haystack.indexOf(first, from);
        if (at < 0 || at > last)
            return -1;
        if (haystack.mid(at + 1, rest.size()) == rest)
            return at;
        from = at + 1;
    }
    return -1;
}

} // namespace

SearchQuery::SearchQuery(QStringView typed)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i <= typed.size(); ++i) {
        if (i < typed.size() && typed[i] != u' ' && typed[i] != u'\u3000')
            continue;
        if (i > start) {
            QString term = TextFold::fold(typed.mid(start, i - start));
            if (!term.isEmpty() && !m_terms.contains(term))
                m_terms.append(std::move(term));
        }
        start = i + 1;
    }
}

SearchQuery::Match SearchQuery::match(QStringView folded) const
{
    Match result;
    if (m_terms.isEmpty())
        return result;
    int hits = 0;
    for (const QString &term : m_terms) {
        if (term.contains(TextFold::kNeverMatches))
            return {};
        qsizetype at = findFrom(folded, term, 0);
        if (at < 0)
            return {};
        if (result.first < 0 || at < result.first) {
            result.first = at;
            result.firstEnd = at + term.size();
        }
        for (; at >= 0; at = findFrom(folded, term, at + term.size()))
            ++hits;
    }
    result.hits = hits;
    return result;
}
