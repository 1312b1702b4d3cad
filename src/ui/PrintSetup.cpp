#include "PrintSetup.h"

#include "storage/Exception.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLibrary>
#include <QThread>

namespace PrintSetup {

namespace {

// Set and read on the GUI thread only.
QString &pathForTesting()
{
    static QString path;
    return path;
}

} // namespace

QString modulePath()
{
    if (!pathForTesting().isEmpty())
        return pathForTesting();
    return QCoreApplication::applicationDirPath() + QLatin1Char('/')
        + QStringLiteral(ORLUNE_PRINTSETUP_MODULE);
}

void setModulePathForTesting(const QString &path)
{
    pathForTesting() = path;
}

std::unique_ptr<QDialog> makeDialog(QWidget *window)
{
    Q_ASSERT(QThread::currentThread() == qApp->thread());
    // Never unloaded: the window's printer setting lives in the module's code until the end.
    QLibrary module(modulePath());
    auto make = reinterpret_cast<MakeDialog>(module.resolve(kMakeDialogSymbol));
    if (!make)
        throw Exception(module.errorString());
    return std::unique_ptr<QDialog>(make(window));
}

} // namespace PrintSetup
