// The floor for start-up: a bare window with the same kinds of controls as the main window and
// nothing else, so the comparison shows what the program adds to the toolkit's own cost.
//
//   orlune_floor [--family NAME FILE...]
//
// With a face and up to five UTF-8 text files, the panes show those texts in that face at the
// panes' size, laid out the cheapest way the toolkit knows: the day's five entries cost any
// program that shows them the same layout and glyphs, so they belong to the floor too.
#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QToolBar>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Floor"));
    window.menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Exit"));
    window.addToolBar(QStringLiteral("Tools"))->addAction(QStringLiteral("Exit"));
    auto *client = new QWidget(&window);
    client->setFixedSize(792, 594);
    window.setCentralWidget(client);
    auto *calendar = new QWidget(client);
    calendar->setGeometry(16, 80, 249, 217);
    calendar->setAutoFillBackground(true);

    const QStringList args = QApplication::arguments();
    const bool withText = args.size() > 2 && args.at(1) == QLatin1String("--family");
    QFont paneFont;
    if (withText) {
        paneFont.setFamily(args.at(2));
        paneFont.setPixelSize(16);
        paneFont.setStyleStrategy(QFont::PreferNoShaping);
    }
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
