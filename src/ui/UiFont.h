#pragma once

#include <QFont>

// The windows' Japanese proportional face at a pixel height; the designed face first,
// then the ones a Linux desktop has. Laid out without glyph shaping.
QFont uiFont(int pixelSize, bool bold = false);
