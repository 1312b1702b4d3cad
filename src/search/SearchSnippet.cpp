#include "SearchSnippet.h"

#include <algorithm>

namespace {

// How far a cut may move to fall at a break rather than inside a sentence.
constexpr qsizetype kSlack = 10;
constexpr qsizetype kBefore = 12;

bool isBreakAfter(QChar c)
{
    return c == u'。' || c == u'、' || c == u'\n';
}

// Where the snippet starts: after the break nearest to wanted, within the slack, not after hit.
qsizetype startNear(QStringView text, qsizetype wanted, qsizetype hitStart)
{
    if (wanted <= 0)
        return 0;
    qsizetype best = -1;
    for (qsizetype i = std::max<qsizetype>(1, wanted - kSlack);
         i <= std::min(hitStart, wanted + kSlack); ++i) {
        if (isBreakAfter(text[i - 1]) && (best < 0 || qAbs(i - wanted) < qAbs(best - wanted)))
            best = i;
    }
    return best >= 0 ? best : wanted;
}

// Where the snippet ends: after a 。 or 、, or before a line break, nearest to wanted.
qsizetype endNear(QStringView text, qsizetype wanted, qsizetype hitEnd)
{
    if (wanted >= text.size())
        return text.size();
    qsizetype best = -1;
    for (qsizetype i = std::max(hitEnd, wanted - kSlack);
         i <= std::min(text.size(), wanted + kSlack); ++i) {
        const bool atBreak = (i > 0 && (text[i - 1] == u'。' || text[i - 1] == u'、'))
            || (i < text.size() && text[i] == u'\n');
        if (atBreak && (best < 0 || qAbs(i - wanted) < qAbs(best - wanted)))
            best = i;
    }
    return best >= 0 ? best : wanted;
}

} // namespace

namespace SearchSnippet {

Snippet around(QStringView original, TextFold::Span hit)
{
    const qsizetype hitStart = std::clamp<qsizetype>(hit.start, 0, original.size());
    const qsizetype hitEnd = std::clamp<qsizetype>(hit.end, hitStart, original.size());
    const qsizetype start = startNear(original, hitStart - kBefore, hitStart);
    const qsizetype wantedEnd = std::max(hitEnd, start + kLength);
    const qsizetype end = endNear(original, wantedEnd, hitEnd);

    Snippet snippet;
    if (start > 0)
        snippet.text += kEllipsis;
    snippet.boldStart = snippet.text.size() + (hitStart - start);
    snippet.boldLength = hitEnd - hitStart;
    snippet.text += original.mid(start, end - start);
    if (end < original.size())
        snippet.text += kEllipsis;
    std::replace(snippet.text.begin(), snippet.text.end(), QChar(u'\n'), QChar(u' '));
    return snippet;
}

} // namespace SearchSnippet
