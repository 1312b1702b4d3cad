// Shows the month calendar as the main window places it, and a larger one, so a person can
// look at both, with the marks of days that have entries: calendar_preview [yyyy-MM-dd]
// [--quit-after MILLISECONDS]
#include "ui/Calendar.h"
#include "ui/UiFont.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QDate date = QDate::fromString(args.value(1), Qt::ISODate);
    if (date.isValid())
        TCalendar::setTodayForTesting(date);

    QWidget window;
    window.setWindowTitle(QStringLiteral("calendar_preview"));
    window.setFont(uiFont(12));
    auto *small = new TCalendar(&window);
    small->setGeometry(16, 80, 249, 217);
    auto *edit = new QLineEdit(&window);
    edit->setGeometry(16, 20, 249, 24);
    edit->setText(QLocale::system().name());
    auto *large = new TCalendar(&window);
    large->setGeometry(281, 20, 360, 277);
    large->setStartOfWeek(1);
    // Both marks, on the selected day too: entries this year, and only in the years before.
    MonthMarks marks {};
    marks.fill(DayMark::None);
    for (const int day : {2, 3, 5, 9, 16, 23, 24, 28})
        marks[day] = DayMark::Entry;
    for (const int day : {4, 10, 11, 17, 30})
        marks[day] = DayMark::EarlierEntry;
    for (TCalendar *calendar : {small, large})
        calendar->setDayMarks(calendar->Year(), calendar->Month(), marks);
    window.resize(657, 313);
    window.show();
    window.activateWindow();
    small->setFocus();

    const int quit = args.indexOf(QStringLiteral("--quit-after"));
    if (quit > 0)
        QTimer::singleShot(args.value(quit + 1).toInt(), &app, &QApplication::quit);
    return app.exec();
}
