#include "Icons.h"

#include "ui/BakedIconEngine.h"

#include <QString>

namespace {
// In image-list order; the files live under ui/resources/icons.
constexpr std::array<const char *, CommandIconCount> CommandIconNames
    = {"exit", "saveas", "printsetup", "cut", "copy", "paste", "version", "settings"};

// One picture per baked size, so every size the window asks for is drawn for that size and
// never scaled from another. The icon owns its engine.
template<std::size_t N> QIcon bakedIcon(const QString &stem, const std::array<int, N> &sizes)
{
    return QIcon(new BakedIconEngine(stem, QList<int>(sizes.begin(), sizes.end())));
}

std::array<QIcon, CommandIconCount> makeCommandIcons()
{
    std::array<QIcon, CommandIconCount> icons;
    for (std::size_t i = 0; i < icons.size(); ++i)
        icons[i] = bakedIcon(
            QStringLiteral(":/resources/icons/%1").arg(QLatin1String(CommandIconNames[i])),
            CommandIconSizes);
    return icons;
}
} // namespace

QIcon commandIcon(int index)
{
    if (index < 0 || index >= CommandIconCount)
        return QIcon();
    // Made once: each window asks for every command's icon, and a QIcon is a shared handle.
    static const std::array<QIcon, CommandIconCount> icons = makeCommandIcons();
    return icons[static_cast<std::size_t>(index)];
}

QIcon applicationIcon()
{
    static const QIcon icon = bakedIcon(QStringLiteral(":/resources/orlune"), ApplicationIconSizes);
    return icon;
}
