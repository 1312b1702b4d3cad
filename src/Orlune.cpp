#include "app/ProgramStyle.h"
#include "app/StartupWarmUp.h"
#include "app/TerminationSignals.h"
#include "app/UnattendedPrompter.h"
#include "storage/EntryWriter.h"
#include "ui/MainForm.h"
#include "ui/Prompter.h"
#include "ui/SettingsForm.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSessionManager>
#include <QTranslator>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

UnattendedPrompter unattended;

// Nobody may be there to answer a window: from now on every dialog and message box is
// answered at once. One still open would keep the program running after its main window
// closed: each is answered as its close box would answer it, and once their loops have ended
// the close query runs, which saves the entry or keeps it in a rescue file.
void closeOnTermination(TfrmMain &frmMain)
{
    Prompter::setCurrent(&unattended);
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->isModal())
            window->close();
    }
    QMetaObject::invokeMethod(
        &frmMain, [&frmMain] { frmMain.closeForTermination(); }, Qt::QueuedConnection);
}

} // namespace

int main(int argc, char *argv[])
{
    StartupWarmUp warmUp;
    QApplication app(argc, argv);
    QApplication::setStyle(new ProgramStyle);
    // The toolkit's own dialogs (file choice, printer set-up) speak the desktop's language.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&toolkitTexts);

    warmUp.finish();
    // Before the window, which saves through it, and stopped after it, once every save is in place.
    EntryWriter entryWriter;
    // Created first, so closing it ends the program.
    TfrmMain frmMain;
    TSettings Settings;
    frmMain.setSettingsDialog(&Settings);

    // Logout, shutdown and kill go through the same close query, so the entry is saved first.
    TerminationSignals terminationSignals([&frmMain] { closeOnTermination(frmMain); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &frmMain,
        [&frmMain](QSessionManager &) { closeOnTermination(frmMain); });

    frmMain.show();
    QMetaObject::invokeMethod(
        &frmMain, [&frmMain] { frmMain.announceRescueFiles(); }, Qt::QueuedConnection);
    const int code = app.exec();
    // A termination gives a writer stuck on a disk that stopped answering a few seconds, after
    // keeping every text it held in a rescue file; waiting for it here would last for ever.
    if (!entryWriter.isIdle()) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    // Qt 6.4's Wayland platform can wait forever for its event thread while it disconnects
    // from the compositor, which would leave the program running after its window closed.
    // Everything is saved once the loop has ended, so the process ends here.
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
