#pragma once

#include <QString>

// The two texts the save loop alternates between; of different lengths, so a file cut short
// or left half-written is never mistaken for either.
inline QString crashTextA()
{
    return QString(u"一日目の日記です。\n"_qs).repeated(4000);
}

inline QString crashTextB()
{
    return QString(u"Second text, longer: 二日目。\n"_qs).repeated(5000);
}

constexpr int kCrashYear = 2026;
constexpr int kCrashDays = 4;
