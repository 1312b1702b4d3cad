#pragma once

#include <QIcon>

#include <array>

// The toolbar's pictures, by their index in the main window's image list:
// 0 exit, 1 save as, 2 printer set-up, 3 cut, 4 copy, 5 paste, 6 version, 7 settings.
inline constexpr int CommandIconCount = 8;

// The square sizes each picture is baked at when the program is built (src/CMakeLists.txt);
// an icon offers exactly these, and Qt scales the nearest for any other.
inline constexpr std::array CommandIconSizes {ORLUNE_COMMAND_ICON_SIZES};
inline constexpr std::array ApplicationIconSizes {ORLUNE_APPLICATION_ICON_SIZES};

// A null icon for an index outside 0..CommandIconCount-1. Qt draws the greyed look of a
// disabled button itself.
QIcon commandIcon(int index);

// The program's own icon, for its windows.
QIcon applicationIcon();
