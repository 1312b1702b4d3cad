#include "Icons.h"

#include <QImage>
#include <QPixmap>
#include <QResource>
#include <QString>

#include <cstring>

namespace {
// In image-list order; the files live under ui/resources/icons.
constexpr std::array<const char *, CommandIconCount> CommandIconNames
    = {"exit", "saveas", "printsetup", "cut", "copy", "paste", "version", "settings"};

// A bake is a picture's premultiplied ARGB32 pixels, row after row (src/tools/IconBaker.cpp):
// copying them is all it takes, where decoding even a PNG file would cost the start-up.
QPixmap bakedPixmap(const QString &path, int size)
{
    const QByteArray pixels = QResource(path).uncompressedData();
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    // A bake of another size would be read past its end.
    if (image.isNull() || pixels.size() != image.sizeInBytes())
        return QPixmap();
    std::memcpy(image.bits(), pixels.constData(), static_cast<std::size_t>(pixels.size()));
    return QPixmap::fromImage(std::move(image));
}

// One picture per baked size, so every size the window asks for is drawn for that size and
// never scaled from another.
template<std::size_t N> QIcon bakedIcon(const QString &stem, const std::array<int, N> &sizes)
{
    QIcon icon;
    for (const int size : sizes) {
        const QPixmap pixmap = bakedPixmap(QStringLiteral("%1-%2.argb").arg(stem).arg(size), size);
        if (!pixmap.isNull())
            icon.addPixmap(pixmap);
    }
    return icon;
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
