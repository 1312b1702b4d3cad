#include "printsetup/PrinterKeeper.h"
#include "ui/PrintSetup.h"

#include <QPrintDialog>

// The module's one entry: the printer set-up dialog for the window's printer, owned by the
// caller. The program loads this module only when the command runs, so that the printing
// libraries are never read from the disk before the first paint.
extern "C" Q_DECL_EXPORT QDialog *orluneMakePrintSetupDialog(QWidget *window)
{
    return new QPrintDialog(&PrinterKeeper::of(window).printer, window);
}
