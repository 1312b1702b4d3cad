#include "YearMonthText.h"

#include "storage/Exception.h"
#include "storage/IntegerText.h"

QString yearMonthText(int year, int month)
{
    return QStringLiteral("%1/%2").arg(year).arg(month);
}

YearMonth parseYearMonthText(const QString &text)
{
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    const auto year = slash < 0 ? std::nullopt : parseIntegerText(QStringView(text).left(slash));
    const auto month
        = slash < 0 ? std::nullopt : parseIntegerText(QStringView(text).mid(slash + 1));
    if (!year || !month)
        throw Exception(QStringLiteral("'%1' は整数ではありません").arg(text));
    return {*year, *month};
}
