#pragma once

#include <Qt>

class QWidget;

// A dialog with a fixed border: title, system menu and close box, no minimise, maximise or help.
inline constexpr Qt::WindowFlags kFixedDialogFlags = Qt::Dialog | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

// Moves the window so that its frame is centred on the primary screen's available area.
void centreOnScreen(QWidget &window);
