#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// A broken invariant aborts, so libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// A private folder for the targets that touch files; in memory when the machine allows, since
// every save syncs to disk. One per process, so parallel jobs never meet.
inline const QString &fuzzFolder()
{
    static const QString folder = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        const QString path = QStringLiteral("%1/orlune-fuzz-%2").arg(base).arg(::getpid());
        QDir().mkpath(path);
        return path;
    }();
    // Registered once the folder's name exists, so the removal runs before the name is gone.
    [[maybe_unused]] static const bool removed
        = std::atexit([] { QDir(fuzzFolder()).removeRecursively(); }) == 0;
    return folder;
}

inline void writeRaw(const QString &path, QByteArrayView bytes)
{
    FILE *f = std::fopen(QFile::encodeName(path).constData(), "wb");
    FUZZ_CHECK(f);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, size_t(bytes.size()), f) == size_t(bytes.size()));
    std::fclose(f);
}

inline QByteArray readRaw(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<missing>");
    return file.readAll();
}
