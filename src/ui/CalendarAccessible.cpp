#include "CalendarAccessible.h"

#include "ui/Calendar.h"

#include <QDate>

namespace {

QAccessibleInterface *calendarFactory(const QString &className, QObject *object)
{
    if (className != QLatin1String("TCalendar"))
        return nullptr;
    auto *calendar = dynamic_cast<TCalendar *>(object);
    return calendar ? new CalendarAccessible(calendar) : nullptr;
}

} // namespace

CalendarAccessible::CalendarAccessible(TCalendar *calendar)
    : QAccessibleWidget(calendar, QAccessible::Table)
{ }

QString CalendarAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return static_cast<const TCalendar *>(widget())->spokenValue();
    return QAccessibleWidget::text(t);
}

void CalendarAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(calendarFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

QString spokenDate(const QDate &date)
{
    return QStringLiteral("%1年%2月%3日").arg(date.year()).arg(date.month()).arg(date.day());
}

QString markName(DayMark mark)
{
    switch (mark) {
    case DayMark::Entry:
        return QStringLiteral("日記あり");
    case DayMark::EarlierEntry:
        return QStringLiteral("過去の日記あり");
    case DayMark::None:
        break;
    }
    return QString();
}
