#include "DiaryFixture.h"
#include "WindowsLeft.h"
#include "ui/CalendarAccessible.h"
#include "ui/FolderTree.h"
#include "ui/VersionDialog.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <private/qguiapplication_p.h>

#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {

struct ValueEvent
{
    QObject *object;
    QString value;
};

QList<ValueEvent> s_valueEvents;

void recordValueEvents(QAccessibleEvent *event)
{
    if (event->type() == QAccessible::ValueChanged)
        s_valueEvents.append({event->object(),
            static_cast<QAccessibleValueChangeEvent *>(event)->value().toString()});
}

QString accessibleText(QObject *object, QAccessible::Text t)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(t) : QStringLiteral("<no interface>");
}

// The name a screen reader speaks: the label that names the control, or else its own name
// (an editable combo box reports its text as its name and is named by its label).
QString heardName(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    if (!iface)
        return QStringLiteral("<no interface>");
    const auto labels = iface->relations(QAccessible::Label);
    return labels.isEmpty() ? iface->text(QAccessible::Name)
                            : labels.first().first->text(QAccessible::Name);
}

// Roles that only hold or decorate other controls: a screen reader does not stop on them.
bool isContainer(QAccessible::Role role)
{
    return role == QAccessible::Client || role == QAccessible::Pane
        || role == QAccessible::Separator || role == QAccessible::Border
        || role == QAccessible::Grouping || role == QAccessible::ScrollBar;
}

// Item views name their rows from their data; the view itself is what needs a name.
bool namesItsOwnItems(QAccessible::Role role)
{
    return role == QAccessible::Tree || role == QAccessible::List || role == QAccessible::Table
        || role == QAccessible::ComboBox || role == QAccessible::SpinBox;
}

void collectUnnamed(QAccessibleInterface *iface, const QString &path, QStringList &unnamed)
{
    if (!iface || iface->state().invisible)
        return;
    const QString here = path + QLatin1Char('/')
        + (iface->object() ? iface->object()->objectName() : QString())
        + QStringLiteral("(%1)").arg(int(iface->role()));
    if (!isContainer(iface->role()) && iface->text(QAccessible::Name).trimmed().isEmpty())
        unnamed << here;
    if (namesItsOwnItems(iface->role()))
        return;
    for (int i = 0; i < iface->childCount(); ++i)
        collectUnnamed(iface->child(i), here, unnamed);
}

QStringList unnamedControls(QWidget *window)
{
    QStringList unnamed;
    collectUnnamed(QAccessible::queryAccessibleInterface(window), QString(), unnamed);
    return unnamed;
}

} // namespace

class tst_Accessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void mainWindowControlsSpeakJapanese_data();
    void mainWindowControlsSpeakJapanese();
    void dialogControlsSpeakJapanese_data();
    void dialogControlsSpeakJapanese();
    void everyVisibleControlHasAName_data();
    void everyVisibleControlHasAName();
    void menuItemsReadTheirCaptions();

    void calendarReadsTheSelectedDateAsItsValue();
    void calendarAnnouncesEachNewDate_data();
    void calendarAnnouncesEachNewDate();
    void calendarStaysQuietWhileTheDateStays();

private:
    std::unique_ptr<DiaryFixture> f;
};

void tst_Accessibility::initTestCase()
{
    QAccessible::installUpdateHandler(recordValueEvents);
    // As a screen reader does: without an active bridge no event is sent at all.
    QPlatformAccessibility *bridge = QGuiApplicationPrivate::platformIntegration()->accessibility();
    QVERIFY(bridge);
    bridge->setActive(true);
}

void tst_Accessibility::init()
{
    f = std::make_unique<DiaryFixture>(QDate(2026, 12, 8));
    QVERIFY(f->useDiary());
    s_valueEvents.clear();
}

void tst_Accessibility::cleanup()
{
    f.reset();
    VERIFY_NO_WINDOW_LEFT_OPEN();
}

void tst_Accessibility::mainWindowControlsSpeakJapanese_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("described");

    QTest::newRow("calendar") << "Calendar1"
                              << "カレンダー" << true;
    QTest::newRow("today") << "memToday"
                           << "現在の日記" << true;
    QTest::newRow("1 year") << "mem1YearAgo"
                            << "１年前の日記" << true;
    QTest::newRow("2 years") << "mem2YearsAgo"
                             << "２年前の日記" << true;
    QTest::newRow("3 years") << "mem3YearsAgo"
                             << "３年前の日記" << true;
    QTest::newRow("4 years") << "mem4YearsAgo"
                             << "４年前の日記" << true;
    QTest::newRow("label") << "lbl2YearsAgo"
                           << "２年前の日記" << false;
    QTest::newRow("previous") << "btnPreMonth"
                              << "前の月" << false;
    QTest::newRow("next") << "btnNextMonth"
                          << "次の月" << false;
    QTest::newRow("year/month") << "cmbYearMonth"
                                << "年月" << true;
    QTest::newRow("exit") << "tbtnExit"
                          << "終了" << true;
    QTest::newRow("save as") << "tbtnSaveAs"
                             << "今日の日記に名前をつけて保存" << true;
    QTest::newRow("printer") << "tbtnPrintSetup"
                             << "プリンタの設定" << true;
    QTest::newRow("cut") << "tbtnEditCut"
                         << "切り取り" << true;
    QTest::newRow("copy") << "tbtnEditCopy"
                          << "コピー" << true;
    QTest::newRow("paste") << "tbtnEditPaste"
                           << "貼り付け" << true;
    QTest::newRow("settings") << "tbtnSettings"
                              << "初期設定" << true;
    QTest::newRow("version") << "tbtnVersion"
                             << "バージョン情報" << true;
    QTest::newRow("menu bar") << "MainMenu1"
                              << "メニューバー" << false;
}

void tst_Accessibility::mainWindowControlsSpeakJapanese()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(bool, described);
    TfrmMain &w = f->start();
    auto *widget = w.findChild<QWidget *>(control);
    QVERIFY(widget);
    QCOMPARE(heardName(widget), name);
    QCOMPARE(!accessibleText(widget, QAccessible::Description).isEmpty(), described);
}

void tst_Accessibility::dialogControlsSpeakJapanese_data()
{
    QTest::addColumn<bool>("settings");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("described");

    QTest::newRow("window") << true << "Settings"
                            << "設定処理" << false;
    QTest::newRow("folder tree") << true << "ShellTreeView1"
                                 << "日記データ保存ディレクトリ指定" << true;
    QTest::newRow("interval") << true << "sedtNumberOfChars"
                              << "自動保存する更新文字数" << true;
    QTest::newRow("unit") << true << "lblMoji"
                          << "文字" << false;
    QTest::newRow("ok") << true << "OKBtn"
                        << "OK" << false;
    QTest::newRow("cancel") << true << "CancelBtn"
                            << "キャンセル" << false;
    QTest::newRow("version window") << false << "OKBottomDlg"
                                    << "バージョン情報" << false;
    QTest::newRow("version ok") << false << "OKBtn"
                                << "OK" << false;
}

void tst_Accessibility::dialogControlsSpeakJapanese()
{
    QFETCH(bool, settings);
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(bool, described);
    TSettings settingsDialog;
    TOKBottomDlg versionDialog;
    QDialog &dialog = settings ? static_cast<QDialog &>(settingsDialog) : versionDialog;
    QWidget *widget
        = dialog.objectName() == control ? &dialog : dialog.findChild<QWidget *>(control);
    QVERIFY(widget);
    QCOMPARE(heardName(widget), name);
    QCOMPARE(!accessibleText(widget, QAccessible::Description).isEmpty(), described);
}

void tst_Accessibility::everyVisibleControlHasAName_data()
{
    QTest::addColumn<int>("window");
    QTest::newRow("main window") << 0;
    QTest::newRow("settings dialog") << 1;
    QTest::newRow("version dialog") << 2;
}

void tst_Accessibility::everyVisibleControlHasAName()
{
    QFETCH(int, window);
    TfrmMain &main = f->start();
    TOKBottomDlg version;
    QWidget *const windows[] = {&main, f->settings.get(), &version};
    QWidget *shown = windows[window];
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    const QStringList unnamed = unnamedControls(shown);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1String(", "))));
    if (shown != &main)
        shown->hide();
}

void tst_Accessibility::menuItemsReadTheirCaptions()
{
    TfrmMain &w = f->start();
    QStringList names;
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(w.menuBar());
    QVERIFY(bar);
    for (int i = 0; i < bar->childCount(); ++i) {
        QAccessibleInterface *title = bar->child(i);
        names << title->text(QAccessible::Name) + QLatin1Char(':');
        QAccessibleInterface *menu = title->childCount() > 0 ? title->child(0) : nullptr;
        QVERIFY(menu);
        for (int j = 0; j < menu->childCount(); ++j) {
            if (menu->child(j)->role() != QAccessible::Separator)
                names << menu->child(j)->text(QAccessible::Name);
        }
    }
    QCOMPARE(names,
        QStringList({"ファイル(F):", "名前を付けて保存(A)...", "プリンタの設定(U)...", "終了(X)",
            "編集(E):", "切り取り(T)", "コピー(C)", "貼り付け(P)", "初期設定",
            "ヘルプ(H):", "バージョン情報"}));
}

void tst_Accessibility::calendarReadsTheSelectedDateAsItsValue()
{
    TfrmMain &w = f->start();
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w.Calendar1);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Table);
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("2026年12月8日"));
    w.Calendar1->setYear(987);
    w.Calendar1->setMonth(2);
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("987年2月8日"));
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("カレンダー"));
}

void tst_Accessibility::calendarAnnouncesEachNewDate_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("announced");

    QTest::newRow("key right") << "right" << QStringList {"2026年12月9日"};
    // A day's mark is part of what is heard: an entry that year, or only in the years before.
    QTest::newRow("onto a day with an entry") << "entry" << QStringList {"2026年12月9日 日記あり"};
    QTest::newRow("onto a day with an earlier entry")
        << "earlier" << QStringList {"2026年12月9日 過去の日記あり"};
    QTest::newRow("mouse") << "click" << QStringList {"2026年12月1日"};
    QTest::newRow("next month") << "next" << QStringList {"2027年1月8日"};
    QTest::newRow("month back") << "back" << QStringList {"2026年11月8日"};
    // The year is set before the month, and the calendar shows the date in between.
    QTest::newRow("year typed") << "typed" << QStringList {"2020年12月8日", "2020年5月8日"};
}

void tst_Accessibility::calendarAnnouncesEachNewDate()
{
    QFETCH(QString, how);
    QFETCH(QStringList, announced);
    if (how == QLatin1String("entry"))
        QVERIFY(f->writeEntry(2026, 12, 9, "entry"));
    if (how == QLatin1String("earlier"))
        QVERIFY(f->writeEntry(2023, 12, 9, "entry"));
    TfrmMain &w = f->start();
    TCalendar *calendar = w.Calendar1;
    s_valueEvents.clear();
    if (how == QLatin1String("right") || how == QLatin1String("entry")
        || how == QLatin1String("earlier")) {
        calendar->setFocus();
        QTest::keyClick(calendar, Qt::Key_Right);
    } else if (how == QLatin1String("click")) {
        // 1 December 2026 is a Tuesday: the third cell of the first week row.
        QTest::mouseClick(calendar, Qt::LeftButton, {}, calendar->cellRect(2, 1).center());
    } else if (how == QLatin1String("next")) {
        QTest::mouseClick(w.btnNextMonth, Qt::LeftButton);
    } else if (how == QLatin1String("back")) {
        calendar->MonthBack();
    } else {
        w.cmbYearMonth->setFocus();
        w.cmbYearMonth->setEditText(QStringLiteral("2020/5"));
        QTest::keyClick(w.cmbYearMonth, Qt::Key_Return);
    }
    QStringList heard;
    for (const ValueEvent &event : std::as_const(s_valueEvents)) {
        if (event.object == calendar)
            heard << event.value;
    }
    QCOMPARE(heard, announced);
    QCOMPARE(accessibleText(calendar, QAccessible::Value), announced.last());
}

void tst_Accessibility::calendarStaysQuietWhileTheDateStays()
{
    TfrmMain &w = f->start();
    s_valueEvents.clear();
    w.Calendar1->setDay(8);
    w.Calendar1->setMonth(13);
    w.Calendar1->setStartOfWeek(1);
    for (const ValueEvent &event : std::as_const(s_valueEvents))
        QVERIFY(event.object != w.Calendar1);
}

QTEST_MAIN(tst_Accessibility)
#include "tst_accessibility.moc"
