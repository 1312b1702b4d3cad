#pragma once

#include <QStringList>
#include <QStringView>

// What the person typed into the search field, as folded terms: leading and trailing spaces
// dropped, split at spaces (U+0020 and U+3000). A text matches when every term occurs in it.
class SearchQuery
{
public:
    SearchQuery() = default;
    explicit SearchQuery(QStringView typed);

    bool isEmpty() const { return m_terms.isEmpty(); }
    const QStringList &terms() const { return m_terms; }

    struct Match
    {
        int hits = 0; // occurrences of all terms; 0 when some term is missing
        qsizetype first = -1; // the earliest occurrence in the folded text
        qsizetype firstEnd = -1;
    };
    Match match(QStringView folded) const;

    bool operator==(const SearchQuery &other) const = default;

private:
    QStringList m_terms;
};
