#pragma once

#include <QObject>
#include <QPrinter>

// The program's current printer setting, kept for the run as a child of the main window, so
// a choice made in the printer set-up dialog holds until the window goes.
// Owned by its parent window; GUI thread only.
class PrinterKeeper : public QObject
{
    Q_OBJECT

public:
    explicit PrinterKeeper(QObject *window);

    // The window's keeper, made on its first use.
    static PrinterKeeper &of(QObject *window);

    QPrinter printer;
};
