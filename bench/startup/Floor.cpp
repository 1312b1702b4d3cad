// The floor for start-up: a bare window with the same kinds of controls as the main window and
// nothing else, so the comparison shows what the program adds to the toolkit's own cost.
#include <QApplication>
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
    const QPoint panes[] = {{272, 64}, {528, 64}, {16, 336}, {272, 336}, {528, 336}};
    for (const QPoint &at : panes)
        (new QPlainTextEdit(client))->setGeometry(at.x(), at.y(), 249, 233);
    window.show();
    return app.exec();
}
