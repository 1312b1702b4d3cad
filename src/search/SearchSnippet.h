#pragma once

#include "search/TextFold.h"

#include <QString>
#include <QStringView>

// About forty characters of an entry around a hit, for one row of the results.
namespace SearchSnippet {

constexpr qsizetype kLength = 40;
constexpr char16_t kEllipsis = u'\u2026';

struct Snippet
{
    QString text; // line breaks as spaces, "…" where the entry was cut
    qsizetype boldStart = 0; // the hit, in text
    qsizetype boldLength = 0;
};

// hit: a span of original. The cut falls preferably after 。 or 、 or at a line end.
Snippet around(QStringView original, TextFold::Span hit);

} // namespace SearchSnippet
