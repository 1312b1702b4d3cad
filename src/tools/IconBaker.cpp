// Renders one drawing into square bakes at build time, so the program neither parses, renders
// nor decodes a picture while it starts:
//   orlune_iconbaker SOURCE.svg OUTPUT_DIR NAME SIZE...   writes OUTPUT_DIR/NAME-SIZE.argb
// A bake is the picture's premultiplied ARGB32 pixels in this machine's byte order, row after
// row, exactly what the window paints from; the tool is built and run in the program's own tree.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "orlune_iconbaker: %s\n", qPrintable(message));
    return 1;
}

// Drawn the way Qt draws a scalable icon: onto a clear square, all of it.
QImage bake(QSvgRenderer &renderer, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

bool write(const QImage &image, const QString &file)
{
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const auto bytes = static_cast<qint64>(image.sizeInBytes());
    return out.write(reinterpret_cast<const char *>(image.constBits()), bytes) == bytes;
}

} // namespace

int main(int argc, char *argv[])
{
    // The drawings hold no text, so painting onto an image needs no platform, and the build
    // runs without a display.
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5)
        return fail(QStringLiteral("usage: orlune_iconbaker SOURCE.svg OUTPUT_DIR NAME SIZE..."));

    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid())
        return fail(QStringLiteral("cannot read %1").arg(args.at(1)));
    const QDir out(args.at(2));
    if (!out.mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("cannot make %1").arg(args.at(2)));

    for (qsizetype i = 4; i < args.size(); ++i) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size <= 0 || size > 1024)
            return fail(QStringLiteral("not a size: %1").arg(args.at(i)));
        const QString file = out.filePath(QStringLiteral("%1-%2.argb").arg(args.at(3)).arg(size));
        if (!write(bake(renderer, size), file))
            return fail(QStringLiteral("cannot write %1").arg(file));
    }
    return 0;
}
