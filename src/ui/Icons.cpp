#include "Icons.h"

#include <QString>

#include <array>

namespace {
// In image-list order; the files live under ui/resources/icons.
constexpr std::array<const char *, CommandIconCount> CommandIconNames
    = {"exit", "saveas", "printsetup", "cut", "copy", "paste", "version", "settings"};
} // namespace

QIcon commandIcon(int index)
{
    if (index < 0 || index >= CommandIconCount)
        return QIcon();
    return QIcon(QStringLiteral(":/resources/icons/%1.svg")
                     .arg(QLatin1String(CommandIconNames[static_cast<std::size_t>(index)])));
}

QIcon applicationIcon()
{
    return QIcon(QStringLiteral(":/resources/orlune.svg"));
}
