#pragma once

#include <QString>

// What a crash left of earlier replaces of a file: temporaries beside it (see StagedFile) that no
// living writer holds locked. One that a writer of this or another process holds is never touched.
namespace Leftovers {

enum class Kind {
    // Any leftover is the new content of a replace that never finished: removed.
    Replace,
    // An entry's: a swap may have left another writer's version under a temporary name when the
    // crash hit. One that is empty or holds the entry's bytes is removed; any other is kept as a
    // conflict copy.
    Entry,
};

// target: the file, symbolic links followed. Gives the path of the last leftover kept, or an
// empty text.
QString clear(const QString &target, Kind kind);

} // namespace Leftovers
