// Renders one drawing into square PNG files at build time, so the program never parses or draws
// a scalable picture while it starts:
//   orlune_iconbaker SOURCE.svg OUTPUT_DIR NAME SIZE...   writes OUTPUT_DIR/NAME-SIZE.png
#include <QByteArray>
#include <QDir>
#include <QCoreApplication>
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

// Drawn the way the program's tests draw the reference, so a bake is that picture exactly.
QImage bake(QSvgRenderer &renderer, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
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
        const QString file = out.filePath(QStringLiteral("%1-%2.png").arg(args.at(3)).arg(size));
        if (!bake(renderer, size).save(file, "PNG"))
            return fail(QStringLiteral("cannot write %1").arg(file));
    }
    return 0;
}
