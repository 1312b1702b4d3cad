#pragma once

#include <array>

// What the calendar marks under a day of the shown month.
enum class DayMark {
    None,
    Entry, // the calendar's year has an entry for the day
    EarlierEntry, // no entry that year, but one in the four years before (the other panes)
};

// The marks of one month, index 1 to 31 by day (0 unused).
using MonthMarks = std::array<DayMark, 32>;
