#pragma once

#include <QtGlobal>

// Above this many bytes an entry is refused by the pane rather than read into memory; the ledger
// keeps no more of an entry than a pane could hold.
constexpr qint64 kPaneCapacityBytes = 16 * 1024 * 1024;
