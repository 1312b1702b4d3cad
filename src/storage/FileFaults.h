#pragma once

#include <QString>

#include <functional>

// A seam for tests to fail the file layer's steps, as a full disk or a refusing file system would.
namespace FileFaults {

enum class Step { OpenRead, Create, Write, Flush, Sync, Rename, MakeDir };

// The hook returns true to make that step fail for that path. Empty hook: nothing fails.
using Hook = std::function<bool(Step step, const QString &path)>;
void setHook(Hook hook);
bool shouldFail(Step step, const QString &path);

} // namespace FileFaults
