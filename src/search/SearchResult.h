#pragma once

#include "search/SearchSnippet.h"

#include <QMetaType>
#include <QString>

#include <optional>

// A day's text to search: an entry file, a copy kept beside it, or a text not on disk yet.
// Year as the year folder names it (0 and below included).
struct SearchSource
{
    int year = 0;
    int month = 0;
    int day = 0;
    QString path; // the file, or for a text not on disk the entry it is meant for
    bool keptCopy = false;
    std::optional<QString> text; // not on disk yet: searched instead of the file
};

// One row of the results: a day (or a kept copy of it) and its first hit.
struct SearchResult
{
    int year = 0;
    int month = 0;
    int day = 0;
    bool keptCopy = false;
    QString path;
    int hits = 0;
    SearchSnippet::Snippet snippet;
};

Q_DECLARE_METATYPE(SearchResult)
