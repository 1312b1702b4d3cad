// The floor for start-up: a bare window with the same kinds of controls as the main window and
// nothing else, so the comparison shows what the program adds to the toolkit's own cost.
//
//   orlune_floor [--window] [--family NAME FILE...]
//
// With a face and up to five UTF-8 text files, the panes show those texts in that face at the
// panes' size, laid out the cheapest way the toolkit knows: the day's five entries cost any
// program that shows them the same layout and glyphs, so they belong to the floor too.
// With --window as well, the window has every control the main window shows, in the same
// places, sizes, faces and words: its three menus and their commands, a toolbar of eight icons,
// the five captions, the month box and its two buttons, a status bar and a month's numbers
// drawn in a grid. Only the program's own work is left out: no settings, no files read but the
// texts given, no diary behind the calendar.
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

namespace {

// The month as any calendar draws it: a header of weekday names over a grid of day numbers.
class MonthGrid : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().base());
        const int w = width() / 7;
        const int h = height() / 7;
        for (int line = 0; line <= 7; ++line) {
            painter.drawLine(line * w, 0, line * w, 7 * h);
            painter.drawLine(0, line * h, 7 * w, line * h);
        }
        const QString names = QStringLiteral("日月火水木金土");
        for (int column = 0; column < 7; ++column)
            painter.drawText(QRect(column * w, 0, w, h), Qt::AlignCenter, names.mid(column, 1));
        const QDate first(QDate::currentDate().year(), QDate::currentDate().month(), 1);
        const int offset = first.dayOfWeek() % 7;
        for (int day = 1; day <= first.daysInMonth(); ++day) {
            const int cell = offset + day - 1;
            painter.drawText(QRect(cell % 7 * w, (cell / 7 + 1) * h, w, h), Qt::AlignCenter,
                QString::number(day));
        }
    }
};

QFont faceOf(const QString &family, int pixelSize, bool bold = false)
{
    QFont font;
    if (!family.isEmpty())
        font.setFamily(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

QIcon plainIcon(int index)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(QColor::fromHsv(index * 45, 160, 200));
    return QIcon(pixmap);
}

void addMenusAndToolBar(QMainWindow &window, QWidget *client)
{
    const struct
    {
        const char *menu;
        const char *caption;
        QKeySequence shortcut;
        bool separatorBefore;
    } commands[] = {
        {"ファイル(&F)", "名前を付けて保存(&A)...", {}, false},
        {"ファイル(&F)", "プリンタの設定(&U)...", {}, false},
        {"ファイル(&F)", "終了(&X)", {}, true},
        {"編集(&E)", "切り取り(&T)", QKeySequence(Qt::CTRL | Qt::Key_X), false},
        {"編集(&E)", "コピー(&C)", QKeySequence(Qt::CTRL | Qt::Key_C), false},
        {"編集(&E)", "貼り付け(&P)", QKeySequence(Qt::CTRL | Qt::Key_V), false},
        {"編集(&E)", "初期設定", {}, true},
        {"ヘルプ(&H)", "バージョン情報", {}, false},
    };
    auto *toolBar = new QToolBar(client);
    toolBar->setGeometry(0, 0, 792, 29);
    toolBar->setMovable(false);
    toolBar->setIconSize(QSize(16, 16));
    QMenu *menu = nullptr;
    int index = 0;
    for (const auto &command : commands) {
        const QString title = QString::fromUtf8(command.menu);
        if (!menu || menu->title() != title)
            menu = window.menuBar()->addMenu(title);
        if (command.separatorBefore) {
            menu->addSeparator();
            toolBar->addSeparator();
        }
        auto *action = new QAction(plainIcon(index++), QString::fromUtf8(command.caption), &window);
        action->setShortcut(command.shortcut);
        action->setIconVisibleInMenu(false);
        window.addAction(action);
        menu->addAction(action);
        toolBar->addAction(action);
        toolBar->widgetForAction(action)->setFixedSize(23, 22);
    }
}

void addMonthControls(QWidget *client, const QString &family)
{
    const struct
    {
        const char *text;
        int left;
        int top;
        int width;
    } captions[] = {{"現在の日記", 272, 40, 95}, {"１年前の日記", 528, 40, 108},
        {"２年前の日記", 16, 312, 108}, {"３年前の日記", 272, 312, 108},
        {"４年前の日記", 528, 312, 108}};
    for (const auto &caption : captions) {
        auto *label = new QLabel(QString::fromUtf8(caption.text), client);
        label->setFont(faceOf(family, 19));
        label->setGeometry(caption.left, caption.top, caption.width, 19);
    }
    auto *previous = new QPushButton(QStringLiteral("←"), client);
    previous->setGeometry(24, 40, 57, 33);
    previous->setFont(faceOf(family, 19, true));
    auto *month = new QComboBox(client);
    month->setGeometry(88, 40, 105, 27);
    month->setFont(faceOf(family, 19));
    month->setEditable(true);
    const QDate today = QDate::currentDate();
    for (int k = 0; k < 9; ++k)
        month->addItem(QStringLiteral("%1/%2").arg(today.year() - 4 + k).arg(today.month()));
    month->setCurrentIndex(4);
    auto *next = new QPushButton(QStringLiteral("→"), client);
    next->setGeometry(200, 40, 57, 33);
    next->setFont(faceOf(family, 19, true));
    auto *status = new QStatusBar(client);
    status->setGeometry(0, 575, 792, 19);
    status->setSizeGripEnabled(false);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    const bool whole = args.size() > 1 && args.at(1) == QLatin1String("--window");
    if (whole)
        args.removeAt(1);
    const bool withText = args.size() > 2 && args.at(1) == QLatin1String("--family");
    const QString family = withText ? args.at(2) : QString();

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Floor"));
    auto *client = new QWidget(&window);
    client->setFixedSize(792, 594);
    window.setCentralWidget(client);
    QWidget *calendar = nullptr;
    if (whole) {
        window.setFont(faceOf(family, 12));
        addMenusAndToolBar(window, client);
        addMonthControls(client, family);
        calendar = new MonthGrid(client);
    } else {
        window.menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Exit"));
        window.addToolBar(QStringLiteral("Tools"))->addAction(QStringLiteral("Exit"));
        calendar = new QWidget(client);
        calendar->setAutoFillBackground(true);
    }
    calendar->setGeometry(16, 80, 249, 217);

    const QFont paneFont = faceOf(family, 16);
    const QPoint panes[] = {{272, 64}, {528, 64}, {16, 336}, {272, 336}, {528, 336}};
    int next = 3;
    for (const QPoint &at : panes) {
        auto *pane = new QPlainTextEdit(client);
        pane->setGeometry(at.x(), at.y(), 249, 233);
        if (!withText || next >= args.size())
            continue;
        pane->setFont(paneFont);
        pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        pane->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        QFile file(args.at(next++));
        if (file.open(QIODevice::ReadOnly))
            pane->setPlainText(QString::fromUtf8(file.readAll()));
    }
    window.show();
    return app.exec();
}
