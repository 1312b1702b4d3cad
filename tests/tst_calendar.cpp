#include "DiaryFixture.h"
#include "ScriptedPrompter.h"
#include "WindowsLeft.h"
#include "ui/Calendar.h"
#include "ui/EConvertError.h"

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QtTest>

namespace {

const QString convertMessage = QStringLiteral("日付に変換できない値が渡されました");

// The calendar as the main window holds it, with a line edit that can hold the focus.
struct Window
{
    explicit Window(QDate today)
    {
        TCalendar::setTodayForTesting(today);
        calendar = new TCalendar(&top);
        calendar->setGeometry(16, 80, 249, 217);
        edit = new QLineEdit(&top);
        edit->setGeometry(16, 20, 120, 24);
        top.resize(281, 313);
        calendar->OnChange = [this](TCalendar &sender) {
            seen.append(sender.SelectedDate());
            seenLabels.append(sender.CellLabel(sender.Col(), sender.Row()));
        };
    }
    bool showActive() { return ::showActive(top); }
    QPoint centre(int col, int row) const { return calendar->cellRect(col, row).center(); }
    QString currentLabel() const { return calendar->CellLabel(calendar->Col(), calendar->Row()); }
    void mouseMove(QPoint pos)
    {
        QMouseEvent move(QEvent::MouseMove, pos, calendar->mapToGlobal(pos), Qt::NoButton,
            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(calendar, &move);
    }
    void wheel(int delta)
    {
        const QPointF pos = centre(3, 3);
        QWheelEvent event(pos, calendar->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(calendar, &event);
    }

    QWidget top;
    TCalendar *calendar;
    QLineEdit *edit;
    QList<QDate> seen;
    QStringList seenLabels;
};

// Records the calendar's date at the moment another control loses the focus.
class FocusOutProbe : public QObject
{
    Q_OBJECT

public:
    FocusOutProbe(QObject *watched, const TCalendar &calendar) : m_calendar(calendar)
    {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::FocusOut)
            dateAtFocusOut = m_calendar.SelectedDate();
        return false;
    }
    QDate dateAtFocusOut;

private:
    const TCalendar &m_calendar;
};

enum class Write { Year, Month, Day, Back, Forward };

void apply(TCalendar &calendar, Write write, int value)
{
    switch (write) {
    case Write::Year:
        return calendar.setYear(value);
    case Write::Month:
        return calendar.setMonth(value);
    case Write::Day:
        return calendar.setDay(value);
    case Write::Back:
        return calendar.MonthBack();
    case Write::Forward:
        return calendar.MonthForward();
    }
}

} // namespace

Q_DECLARE_METATYPE(Write)

class tst_Calendar : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void laysOutMonth_data();
    void laysOutMonth();
    void headerShowsLocaleWeekdayNames();
    void cellsShareTheClientArea_data();
    void cellsShareTheClientArea();
    void monthStepClampsDayWithOneNotification_data();
    void monthStepClampsDayWithOneNotification();
    void refusesDateThatDoesNotExist_data();
    void refusesDateThatDoesNotExist();
    void ignoresWritesThatCannotBeMeant_data();
    void ignoresWritesThatCannotBeMeant();
    void yearThenMonthNotifiesTwiceThroughIntermediateDate();
    void useCurrentDateRereadsTodayWithoutNotification();
    void handlerExceptionReachesCallerAfterDateChanged_data();
    void handlerExceptionReachesCallerAfterDateChanged();
    void clickChangesDateOnlyOnAnotherDay_data();
    void clickChangesDateOnlyOnAnotherDay();
    void pressTakesFocusWhileOldDateIsSelected();
    void dragChoosesLastDayCellUnderPointer();
    void doubleClickDoesNothingMore();
    void keyMovesWithinMonthOnly_data();
    void keyMovesWithinMonthOnly();
    void tabPassesToNextControl();
    void wheelMovesWeekRowWhileFocused();
    void readOnlyRefusesUserButNotWrites();
    void handlerExceptionFromClickIsReported();
};

void tst_Calendar::cleanup()
{
    TCalendar::setTodayForTesting(QDate());
    VERIFY_NO_WINDOW_LEFT_OPEN();
}

void tst_Calendar::laysOutMonth_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("startOfWeek");
    QTest::addColumn<int>("firstCellOffset");
    QTest::addColumn<QPoint>("lastDayCell");

    QTest::newRow("Feb 2026, 1st on Sunday") << QDate(2026, 2, 10) << 0 << 1 << QPoint(6, 4);
    QTest::newRow("Aug 2026, 1st on Saturday") << QDate(2026, 8, 1) << 0 << -5 << QPoint(1, 6);
    QTest::newRow("Dec 2026, 1st on Tuesday") << QDate(2026, 12, 31) << 0 << -1 << QPoint(4, 5);
    QTest::newRow("Feb 2026 from Monday") << QDate(2026, 2, 28) << 1 << -5 << QPoint(5, 5);
    QTest::newRow("Feb 2000 leap") << QDate(2000, 2, 29) << 0 << -1 << QPoint(2, 5);
    QTest::newRow("Feb 1900 common") << QDate(1900, 2, 1) << 0 << -3 << QPoint(3, 5);
    QTest::newRow("Feb 2100 common") << QDate(2100, 2, 14) << 0 << 0 << QPoint(0, 5);
    QTest::newRow("Jan of year 1, Monday") << QDate(1, 1, 1) << 0 << 0 << QPoint(3, 5);
    QTest::newRow("Dec 9999, Wednesday") << QDate(9999, 12, 31) << 0 << -2 << QPoint(5, 5);
}

void tst_Calendar::laysOutMonth()
{
    QFETCH(QDate, date);
    QFETCH(int, startOfWeek);
    QFETCH(int, firstCellOffset);
    QFETCH(QPoint, lastDayCell);

    Window w(date);
    w.calendar->setStartOfWeek(startOfWeek);
    QCOMPARE(w.calendar->SelectedDate(), date);
    QCOMPARE(w.calendar->FirstCellOffset(), firstCellOffset);

    QStringList days;
    for (int row = 1; row < 7; ++row)
        for (int col = 0; col < 7; ++col)
            days.append(w.calendar->CellLabel(col, row));
    const int firstIndex = days.indexOf(QStringLiteral("1"));
    const int length = date.daysInMonth();
    QCOMPARE(firstIndex, 1 - firstCellOffset);
    QCOMPARE(firstIndex < 7, true);
    QCOMPARE(days.count(QString()), 42 - length);
    QCOMPARE(w.calendar->CellLabel(lastDayCell.x(), lastDayCell.y()), QString::number(length));
    for (int i = 0; i < length; ++i)
        QCOMPARE(days[firstIndex + i], QString::number(i + 1));
    QCOMPARE(w.currentLabel(), QString::number(date.day()));
    QVERIFY(w.seen.isEmpty());
}

void tst_Calendar::headerShowsLocaleWeekdayNames()
{
    if (QLocale::system().language() != QLocale::Japanese)
        QSKIP("needs LC_ALL=ja_JP.UTF-8, as CTest sets it");
    Window w(QDate(2026, 2, 10));
    QStringList header;
    for (int col = 0; col < 7; ++col)
        header.append(w.calendar->CellLabel(col, 0));
    QCOMPARE(header.join(QLatin1Char(' ')), QStringLiteral("日 月 火 水 木 金 土"));

    w.calendar->setStartOfWeek(1);
    QCOMPARE(w.calendar->CellLabel(0, 0), QStringLiteral("月"));
    QCOMPARE(w.calendar->CellLabel(6, 0), QStringLiteral("日"));
    QVERIFY(w.seen.isEmpty());
}

void tst_Calendar::cellsShareTheClientArea_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("main window") << QSize(249, 217);
    QTest::newRow("large") << QSize(400, 330);
    QTest::newRow("tiny") << QSize(60, 50);
}

void tst_Calendar::cellsShareTheClientArea()
{
    QFETCH(QSize, size);
    Window w(QDate(2026, 2, 10));
    w.calendar->resize(size);
    QVERIFY(w.showActive());
    const QRect client = w.calendar->contentsRect();
    QCOMPARE(w.calendar->cellRect(0, 0).width(), (client.width() - 6) / 7);
    QCOMPARE(w.calendar->cellRect(0, 0).height(), (client.height() - 6) / 7);
    for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 7; ++col) {
            const QRect cell = w.calendar->cellRect(col, row);
            QVERIFY(client.contains(cell));
            QCOMPARE(w.calendar->cellAt(cell.center()), QPoint(col, row));
        }
    }
}

void tst_Calendar::monthStepClampsDayWithOneNotification_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<Write>("step");
    QTest::addColumn<QDate>("to");

    QTest::newRow("31 Jan +1") << QDate(2026, 1, 31) << Write::Forward << QDate(2026, 2, 28);
    QTest::newRow("31 Jan leap +1") << QDate(2028, 1, 31) << Write::Forward << QDate(2028, 2, 29);
    QTest::newRow("31 Mar -1") << QDate(2026, 3, 31) << Write::Back << QDate(2026, 2, 28);
    QTest::newRow("31 Mar 2000 -1") << QDate(2000, 3, 31) << Write::Back << QDate(2000, 2, 29);
    QTest::newRow("30 Apr +1") << QDate(2026, 4, 30) << Write::Forward << QDate(2026, 5, 30);
    QTest::newRow("15 Dec +1") << QDate(2026, 12, 15) << Write::Forward << QDate(2027, 1, 15);
    QTest::newRow("15 Jan -1") << QDate(2026, 1, 15) << Write::Back << QDate(2025, 12, 15);
    QTest::newRow("Feb of year 1 -1") << QDate(1, 2, 28) << Write::Back << QDate(1, 1, 28);
    QTest::newRow("Nov 9999 +1") << QDate(9999, 11, 30) << Write::Forward << QDate(9999, 12, 30);
}

void tst_Calendar::monthStepClampsDayWithOneNotification()
{
    QFETCH(QDate, from);
    QFETCH(Write, step);
    QFETCH(QDate, to);

    Window w(from);
    apply(*w.calendar, step, 0);
    QCOMPARE(w.calendar->SelectedDate(), to);
    QCOMPARE(w.seen, QList<QDate> {to});
    QCOMPARE(w.seenLabels, QStringList {QString::number(to.day())});
}

void tst_Calendar::refusesDateThatDoesNotExist_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<Write>("write");
    QTest::addColumn<int>("value");

    QTest::newRow("30 Jan to Feb") << QDate(2026, 1, 30) << Write::Month << 2;
    QTest::newRow("31 Mar to Apr") << QDate(2026, 3, 31) << Write::Month << 4;
    QTest::newRow("29 Feb 2024 to 2025") << QDate(2024, 2, 29) << Write::Year << 2025;
    QTest::newRow("year 10000") << QDate(2026, 5, 10) << Write::Year << 10000;
    QTest::newRow("forward from Dec 9999") << QDate(9999, 12, 31) << Write::Forward << 0;
    QTest::newRow("back from Jan of year 1") << QDate(1, 1, 1) << Write::Back << 0;
}

void tst_Calendar::refusesDateThatDoesNotExist()
{
    QFETCH(QDate, from);
    QFETCH(Write, write);
    QFETCH(int, value);

    Window w(from);
    const QPoint cell(w.calendar->Col(), w.calendar->Row());
    try {
        apply(*w.calendar, write, value);
        QFAIL("no error raised");
    } catch (const EConvertError &error) {
        QCOMPARE(error.message(), convertMessage);
    }
    QCOMPARE(w.calendar->SelectedDate(), from);
    QCOMPARE(QPoint(w.calendar->Col(), w.calendar->Row()), cell);
    QVERIFY(w.calendar->UseCurrentDate());
    QVERIFY(w.seen.isEmpty());
}

void tst_Calendar::ignoresWritesThatCannotBeMeant_data()
{
    QTest::addColumn<Write>("write");
    QTest::addColumn<int>("value");

    QTest::newRow("month 0") << Write::Month << 0;
    QTest::newRow("month 13") << Write::Month << 13;
    QTest::newRow("day 0") << Write::Day << 0;
    QTest::newRow("day 31 in April") << Write::Day << 31;
    QTest::newRow("year -1") << Write::Year << -1;
    QTest::newRow("same year") << Write::Year << 2026;
    QTest::newRow("same month") << Write::Month << 4;
    QTest::newRow("same day") << Write::Day << 10;
}

void tst_Calendar::ignoresWritesThatCannotBeMeant()
{
    QFETCH(Write, write);
    QFETCH(int, value);

    Window w(QDate(2026, 4, 10));
    apply(*w.calendar, write, value);
    QCOMPARE(w.calendar->SelectedDate(), QDate(2026, 4, 10));
    QVERIFY(w.calendar->UseCurrentDate());
    QVERIFY(w.seen.isEmpty());
}

void tst_Calendar::yearThenMonthNotifiesTwiceThroughIntermediateDate()
{
    Window w(QDate(2026, 5, 10));
    w.calendar->setYear(2025);
    w.calendar->setMonth(3);
    QCOMPARE(w.seen, (QList<QDate> {QDate(2025, 5, 10), QDate(2025, 3, 10)}));
    QCOMPARE(w.seenLabels, (QStringList {QStringLiteral("10"), QStringLiteral("10")}));
    QVERIFY(!w.calendar->UseCurrentDate());
}

void tst_Calendar::useCurrentDateRereadsTodayWithoutNotification()
{
    Window w(QDate(2026, 5, 10));
    w.calendar->setDay(20);
    QVERIFY(!w.calendar->UseCurrentDate());
    TCalendar::setTodayForTesting(QDate(2026, 8, 1));
    w.calendar->setUseCurrentDate(true);
    QCOMPARE(w.calendar->SelectedDate(), QDate(2026, 8, 1));
    QCOMPARE(w.currentLabel(), QStringLiteral("1"));
    QCOMPARE(w.seen.size(), 1);
}

void tst_Calendar::handlerExceptionReachesCallerAfterDateChanged_data()
{
    QTest::addColumn<Write>("write");
    QTest::addColumn<int>("value");
    QTest::addColumn<QDate>("to");

    QTest::newRow("year") << Write::Year << 2024 << QDate(2024, 5, 10);
    QTest::newRow("month") << Write::Month << 6 << QDate(2026, 6, 10);
    QTest::newRow("back") << Write::Back << 0 << QDate(2026, 4, 10);
    QTest::newRow("forward") << Write::Forward << 0 << QDate(2026, 6, 10);
}

void tst_Calendar::handlerExceptionReachesCallerAfterDateChanged()
{
    QFETCH(Write, write);
    QFETCH(int, value);
    QFETCH(QDate, to);

    Window w(QDate(2026, 5, 10));
    w.calendar->OnChange = [](TCalendar &) { throw Exception(QStringLiteral("読めません")); };
    QVERIFY_THROWS_EXCEPTION(Exception, apply(*w.calendar, write, value));
    QCOMPARE(w.calendar->SelectedDate(), to);
    QCOMPARE(w.currentLabel(), QStringLiteral("10"));
}

void tst_Calendar::clickChangesDateOnlyOnAnotherDay_data()
{
    QTest::addColumn<QPoint>("cell");
    QTest::addColumn<QDate>("to");

    // February 2026 from 10 February: the 1st sits in column 0 of week row 1.
    QTest::newRow("blank cell") << QPoint(0, 6) << QDate(2026, 2, 10);
    QTest::newRow("weekday name") << QPoint(3, 0) << QDate(2026, 2, 10);
    QTest::newRow("selected day") << QPoint(2, 2) << QDate(2026, 2, 10);
    QTest::newRow("another day") << QPoint(4, 3) << QDate(2026, 2, 19);
}

void tst_Calendar::clickChangesDateOnlyOnAnotherDay()
{
    QFETCH(QPoint, cell);
    QFETCH(QDate, to);

    Window w(QDate(2026, 2, 10));
    QVERIFY(w.showActive());
    QTest::mouseClick(w.calendar, Qt::LeftButton, {}, w.centre(cell.x(), cell.y()));
    QCOMPARE(w.calendar->SelectedDate(), to);
    QCOMPARE(w.seen.size(), to == QDate(2026, 2, 10) ? 0 : 1);
    QVERIFY(w.calendar->hasFocus());
}

void tst_Calendar::pressTakesFocusWhileOldDateIsSelected()
{
    Window w(QDate(2026, 2, 10));
    QVERIFY(w.showActive());
    w.edit->setFocus();
    QVERIFY(w.edit->hasFocus());
    FocusOutProbe probe(w.edit, *w.calendar);

    QTest::mousePress(w.calendar, Qt::LeftButton, {}, w.centre(4, 3));
    QCOMPARE(probe.dateAtFocusOut, QDate(2026, 2, 10));
    QCOMPARE(w.calendar->SelectedDate(), QDate(2026, 2, 10));
    QCOMPARE(w.currentLabel(), QStringLiteral("19"));
    QVERIFY(w.seen.isEmpty());

    QTest::mouseRelease(w.calendar, Qt::LeftButton, {}, w.centre(4, 3));
    QCOMPARE(w.seen, QList<QDate> {QDate(2026, 2, 19)});
}

void tst_Calendar::dragChoosesLastDayCellUnderPointer()
{
    Window w(QDate(2026, 2, 10));
    QVERIFY(w.showActive());
    QTest::mousePress(w.calendar, Qt::LeftButton, {}, w.centre(2, 1));
    w.mouseMove(w.centre(0, 6));
    QCOMPARE(w.currentLabel(), QStringLiteral("3"));
    w.mouseMove(w.centre(5, 3));
    QCOMPARE(w.currentLabel(), QStringLiteral("20"));
    w.mouseMove(w.centre(1, 0));
    QVERIFY(w.seen.isEmpty());
    QTest::mouseRelease(w.calendar, Qt::LeftButton, {}, w.centre(1, 0));
    QCOMPARE(w.seen, QList<QDate> {QDate(2026, 2, 20)});
}

void tst_Calendar::doubleClickDoesNothingMore()
{
    Window w(QDate(2026, 2, 10));
    QVERIFY(w.showActive());
    // The system sends press, release, double click, release.
    QTest::mouseClick(w.calendar, Qt::LeftButton, {}, w.centre(4, 3));
    QTest::mouseDClick(w.calendar, Qt::LeftButton, {}, w.centre(4, 3));
    QTest::mouseRelease(w.calendar, Qt::LeftButton, {}, w.centre(4, 3));
    QCOMPARE(w.seen, QList<QDate> {QDate(2026, 2, 19)});
}

void tst_Calendar::keyMovesWithinMonthOnly_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("ctrl");
    QTest::addColumn<QDate>("to");

    // April 2026: the 1st in column 3, the 30th in column 4 of week row 5.
    const auto apr = [](int day) { return QDate(2026, 4, day); };
    QTest::newRow("Left on the 1st") << apr(1) << int(Qt::Key_Left) << false << apr(1);
    QTest::newRow("Right") << apr(1) << int(Qt::Key_Right) << false << apr(2);
    QTest::newRow("Up from row 1") << apr(1) << int(Qt::Key_Up) << false << apr(1);
    QTest::newRow("Down") << apr(1) << int(Qt::Key_Down) << false << apr(8);
    QTest::newRow("Down into blank") << apr(30) << int(Qt::Key_Down) << false << apr(30);
    QTest::newRow("Right past column 6") << apr(18) << int(Qt::Key_Right) << false << apr(18);
    QTest::newRow("Home") << apr(15) << int(Qt::Key_Home) << false << apr(12);
    QTest::newRow("End") << apr(15) << int(Qt::Key_End) << false << apr(18);
    QTest::newRow("Home in row 1") << apr(2) << int(Qt::Key_Home) << false << apr(2);
    QTest::newRow("Page Up") << apr(15) << int(Qt::Key_PageUp) << false << apr(1);
    QTest::newRow("Page Down to blank") << apr(15) << int(Qt::Key_PageDown) << false << apr(15);
    QTest::newRow("Ctrl+Left") << apr(8) << int(Qt::Key_Left) << true << apr(5);
    QTest::newRow("Ctrl+Right") << apr(8) << int(Qt::Key_Right) << true << apr(11);
    QTest::newRow("Ctrl+Page Up") << apr(29) << int(Qt::Key_PageUp) << true << apr(1);
    QTest::newRow("Ctrl+Page Down") << apr(1) << int(Qt::Key_PageDown) << true << apr(1);
    QTest::newRow("Ctrl+Home blank") << apr(15) << int(Qt::Key_Home) << true << apr(15);
    QTest::newRow("Ctrl+Home") << QDate(2026, 2, 10) << int(Qt::Key_Home) << true
                               << QDate(2026, 2, 1);
    QTest::newRow("Ctrl+End blank")
        << QDate(2026, 8, 24) << int(Qt::Key_End) << true << QDate(2026, 8, 24);
    QTest::newRow("Page Down Aug")
        << QDate(2026, 8, 24) << int(Qt::Key_PageDown) << false << QDate(2026, 8, 31);
}

void tst_Calendar::keyMovesWithinMonthOnly()
{
    QFETCH(QDate, from);
    QFETCH(int, key);
    QFETCH(bool, ctrl);
    QFETCH(QDate, to);

    Window w(from);
    QTest::keyClick(w.calendar, Qt::Key(key), ctrl ? Qt::ControlModifier : Qt::NoModifier);
    QCOMPARE(w.calendar->SelectedDate(), to);
    QCOMPARE(w.seen.size(), from == to ? 0 : 1);
    QCOMPARE(w.currentLabel(), QString::number(to.day()));
}

void tst_Calendar::tabPassesToNextControl()
{
    Window w(QDate(2026, 2, 10));
    QVERIFY(w.showActive());
    w.calendar->setFocus();
    QVERIFY(w.calendar->hasFocus());
    QTest::keyClick(w.calendar, Qt::Key_Tab);
    QVERIFY(w.edit->hasFocus());
    QVERIFY(w.seen.isEmpty());
}

void tst_Calendar::wheelMovesWeekRowWhileFocused()
{
    Window w(QDate(2026, 2, 10));
    QVERIFY(w.showActive());
    w.edit->setFocus();
    w.wheel(-120);
    QVERIFY2(w.seen.isEmpty(), "the wheel must not act without the focus");

    w.calendar->setFocus();
    w.wheel(-120);
    QCOMPARE(w.calendar->SelectedDate(), QDate(2026, 2, 17));
    w.wheel(60);
    w.wheel(60);
    QCOMPARE(w.calendar->SelectedDate(), QDate(2026, 2, 10));
    w.wheel(240);
    QCOMPARE(w.calendar->SelectedDate(), QDate(2026, 2, 3));
    QCOMPARE(w.seen.size(), 3);
}

void tst_Calendar::readOnlyRefusesUserButNotWrites()
{
    Window w(QDate(2026, 2, 10));
    QVERIFY(w.showActive());
    w.calendar->setReadOnly(true);
    QTest::mouseClick(w.calendar, Qt::LeftButton, {}, w.centre(4, 3));
    QTest::keyClick(w.calendar, Qt::Key_Right);
    QCOMPARE(w.calendar->SelectedDate(), QDate(2026, 2, 10));
    QVERIFY(w.seen.isEmpty());

    w.calendar->MonthForward();
    w.calendar->setDay(20);
    QCOMPARE(w.calendar->SelectedDate(), QDate(2026, 3, 20));
    QCOMPARE(w.currentLabel(), QStringLiteral("20"));
    QCOMPARE(w.seen.size(), 2);
}

void tst_Calendar::handlerExceptionFromClickIsReported()
{
    ScriptedPrompter prompter;
    Window w(QDate(2026, 2, 10));
    QVERIFY(w.showActive());
    w.calendar->OnChange = [](TCalendar &) { throw Exception(QStringLiteral("読めません")); };
    QTest::mouseClick(w.calendar, Qt::LeftButton, {}, w.centre(4, 3));
    QTest::keyClick(w.calendar, Qt::Key_Right);
    QCOMPARE(w.calendar->SelectedDate(), QDate(2026, 2, 20));
    QCOMPARE(prompter.messages.size(), 2);
    QCOMPARE(prompter.messages[0].text, QStringLiteral("読めません."));
}

QTEST_MAIN(tst_Calendar)
#include "tst_calendar.moc"
