#pragma once

#include <QStringView>

#include <optional>

// Reads an integer the way the settings file is read: leading spaces skipped, then decimal with
// an optional sign, or hexadecimal after "$", "0x", "0X", "x" or "X"; the whole text used;
// decimal within 32 bits signed, hexadecimal up to FFFFFFFF taken as its 32 bits.
std::optional<int> parseIntegerText(QStringView text);
