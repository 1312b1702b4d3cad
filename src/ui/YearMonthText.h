#pragma once

#include <QString>

struct YearMonth
{
    int year = 0;
    int month = 0;
};

// The year/month selector's entry text: year "/" month, both plain decimal.
QString yearMonthText(int year, int month);
// Reads year "/" month; any other text raises "'%s' は整数ではありません" naming it.
YearMonth parseYearMonthText(const QString &text);
