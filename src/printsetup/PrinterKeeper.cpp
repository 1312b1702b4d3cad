#include "PrinterKeeper.h"

PrinterKeeper::PrinterKeeper(QObject *window) : QObject(window)
{
    setObjectName(QStringLiteral("orlunePrinterKeeper"));
}

PrinterKeeper &PrinterKeeper::of(QObject *window)
{
    if (auto *kept = window->findChild<PrinterKeeper *>(QString(), Qt::FindDirectChildrenOnly))
        return *kept;
    return *new PrinterKeeper(window);
}
