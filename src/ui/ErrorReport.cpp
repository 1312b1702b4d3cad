#include "ErrorReport.h"

#include "storage/Exception.h"
#include "ui/Prompter.h"

#include <QCoreApplication>
#include <QFileInfo>

QString errorReportTitle()
{
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

QString errorReportText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void reportError(QWidget *parent, const QString &message)
{
    Prompter::current().error(parent, errorReportTitle(), errorReportText(message));
}
