#pragma once

#include <QString>

#include <memory>

class QDialog;
class QWidget;

// The printer set-up dialog comes from a module of its own beside the program, loaded when the
// command first runs: only that command needs the printing libraries.
namespace PrintSetup {

// The entry point the module exports.
extern "C" {
using MakeDialog = QDialog *(*)(QWidget *window);
}
inline constexpr char kMakeDialogSymbol[] = "orluneMakePrintSetupDialog";

// A new dialog for the window's printer setting, which the module keeps for the window's
// lifetime. Throws when the module cannot be loaded. GUI thread only.
std::unique_ptr<QDialog> makeDialog(QWidget *window);

// Where the module is looked for: beside the executable, unless a test names another file.
QString modulePath();
void setModulePathForTesting(const QString &path);

} // namespace PrintSetup
