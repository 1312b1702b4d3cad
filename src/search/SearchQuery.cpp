#include "SearchQuery.h"

#include "search/TextFold.h"

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
        qsizetype at = folded.indexOf(term);
        if (at < 0)
            return {};
        if (result.first < 0 || at < result.first) {
            result.first = at;
            result.firstEnd = at + term.size();
        }
        for (; at >= 0; at = folded.indexOf(term, at + term.size()))
            ++hits;
    }
    result.hits = hits;
    return result;
}
