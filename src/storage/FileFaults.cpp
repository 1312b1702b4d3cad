#include "FileFaults.h"

namespace {

FileFaults::Hook &hook()
{
    static FileFaults::Hook h;
    return h;
}

} // namespace

namespace FileFaults {

void setHook(Hook h)
{
    hook() = std::move(h);
}

bool shouldFail(Step step, const QString &path)
{
    return hook() && hook()(step, path);
}

} // namespace FileFaults
