#pragma once

#include <QIcon>

// The toolbar's pictures, by their index in the main window's image list:
// 0 exit, 1 save as, 2 printer set-up, 3 cut, 4 copy, 5 paste, 6 version, 7 settings.
inline constexpr int CommandIconCount = 8;

// A null icon for an index outside 0..CommandIconCount-1. Built from the scalable picture, so
// Qt draws the greyed look of a disabled button itself.
QIcon commandIcon(int index);

// The program's own icon, for its windows.
QIcon applicationIcon();
