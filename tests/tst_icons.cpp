#include "WindowsLeft.h"
#include "ui/Icons.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>

namespace {
const char *const IconNames[CommandIconCount]
    = {"exit", "saveas", "printsetup", "cut", "copy", "paste", "version", "settings"};

QImage render(const QIcon &icon, int size, QIcon::Mode mode = QIcon::Normal)
{
    return icon.pixmap(QSize(size, size), mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

int opaquePixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 127;
    return count;
}

// The drawing in the source tree, rendered the way Qt renders a scalable icon: onto a clear
// square, all of it.
QImage renderDrawing(const QString &svg, int size)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return QImage();
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

QString drawingOf(int index)
{
    return QStringLiteral(ORLUNE_ICON_SOURCE_DIR "/icons/%1.svg")
        .arg(QLatin1String(IconNames[index]));
}

QString applicationDrawing()
{
    return QStringLiteral(ORLUNE_ICON_SOURCE_DIR "/orlune.svg");
}

// Where two pictures part, for a failure message; empty when they are the same.
QString difference(const QImage &actual, const QImage &expected)
{
    if (actual.size() != expected.size())
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(actual.width())
            .arg(actual.height())
            .arg(expected.width())
            .arg(expected.height());
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int differing = 0;
    QPoint first;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != e.pixel(x, y) && differing++ == 0)
                first = QPoint(x, y);
    if (differing == 0)
        return QString();
    return QStringLiteral("%1 pixels differ, first at %2,%3: %4 instead of %5")
        .arg(differing)
        .arg(first.x())
        .arg(first.y())
        .arg(a.pixel(first), 8, 16, QLatin1Char('0'))
        .arg(e.pixel(first), 8, 16, QLatin1Char('0'));
}

// The scalable icon engine parses drawings; an image format plugin means a file is decoded,
// since Qt's reader asks each one whether it reads the file. Either costs the start-up dearly.
bool imagePluginLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    const QByteArray mapped = maps.readAll();
    return mapped.contains("/iconengines/") || mapped.contains("/imageformats/");
}

int strongestSaturation(const QImage &image)
{
    int strongest = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 127)
                strongest = qMax(strongest, QColor(image.pixel(x, y)).hsvSaturation());
    return strongest;
}
} // namespace

class tst_Icons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { VERIFY_NO_WINDOW_LEFT_OPEN(); }
    // First, before anything else in this process could load a plugin.
    void makesIconsWithoutImagePlugins();
    void matchesItsDrawingAtEveryBakedSize_data();
    void matchesItsDrawingAtEveryBakedSize();
    void drawsForTheScreensPixelsOnADenseScreen_data();
    void drawsForTheScreensPixelsOnADenseScreen();
    void drawsOnTransparentGround_data();
    void drawsOnTransparentGround();
    void greysWhenDisabled_data();
    void greysWhenDisabled();
    void everyCommandHasItsOwnPicture();
    void indexOutsideTheListGivesNoIcon();
};

void tst_Icons::initTestCase()
{
    // The references below are drawn from the source tree; without it every comparison is moot.
    for (int i = 0; i < CommandIconCount; ++i)
        QVERIFY2(QFile::exists(drawingOf(i)), qPrintable(drawingOf(i)));
    QVERIFY2(QFile::exists(applicationDrawing()), qPrintable(applicationDrawing()));
}

void tst_Icons::makesIconsWithoutImagePlugins()
{
    QVERIFY(!imagePluginLoaded());
    for (int i = 0; i < CommandIconCount; ++i)
        for (const int size : CommandIconSizes)
            QVERIFY(!render(commandIcon(i), size).isNull());
    for (const int size : ApplicationIconSizes)
        QVERIFY(!render(applicationIcon(), size).isNull());
    QVERIFY(!render(commandIcon(0), 16, QIcon::Disabled).isNull());
    QVERIFY(!imagePluginLoaded());
}

void tst_Icons::matchesItsDrawingAtEveryBakedSize_data()
{
    QTest::addColumn<QIcon>("icon");
    QTest::addColumn<QString>("drawing");
    QTest::addColumn<int>("size");
    for (int i = 0; i < CommandIconCount; ++i)
        for (const int size : CommandIconSizes)
            QTest::addRow("%s@%d", IconNames[i], size) << commandIcon(i) << drawingOf(i) << size;
    for (const int size : ApplicationIconSizes)
        QTest::addRow("application@%d", size) << applicationIcon() << applicationDrawing() << size;
}

void tst_Icons::matchesItsDrawingAtEveryBakedSize()
{
    QFETCH(QIcon, icon);
    QFETCH(QString, drawing);
    QFETCH(int, size);
    // A size that is not offered would be scaled from another and only look roughly right.
    QVERIFY(icon.availableSizes().contains(QSize(size, size)));
    const QPixmap pixmap = icon.pixmap(QSize(size, size), 1.0);
    const QImage expected = renderDrawing(drawing, size);
    QVERIFY(!expected.isNull());
    const QString diff = difference(pixmap.toImage(), expected);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void tst_Icons::drawsForTheScreensPixelsOnADenseScreen_data()
{
    QTest::addColumn<QIcon>("icon");
    QTest::addColumn<QString>("drawing");
    QTest::addColumn<qreal>("ratio");
    for (const qreal ratio : {1.25, 1.5, 2.0, 3.0, 4.0}) {
        for (int i = 0; i < CommandIconCount; ++i)
            QTest::addRow("%s@%gx", IconNames[i], ratio) << commandIcon(i) << drawingOf(i) << ratio;
        QTest::addRow("application@%gx", ratio)
            << applicationIcon() << applicationDrawing() << ratio;
    }
}

void tst_Icons::drawsForTheScreensPixelsOnADenseScreen()
{
    QFETCH(QIcon, icon);
    QFETCH(QString, drawing);
    QFETCH(qreal, ratio);
    // The toolbar asks for 16 logical pixels; the screen wants that many of its own.
    const QPixmap pixmap = icon.pixmap(QSize(16, 16), ratio);
    const int pixels = qRound(16 * ratio);
    QCOMPARE(pixmap.size(), QSize(pixels, pixels));
    QCOMPARE(pixmap.deviceIndependentSize(), QSizeF(16, 16));
    // Drawn for that size, not the 16-pixel picture blown up.
    const QString diff = difference(pixmap.toImage(), renderDrawing(drawing, pixels));
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void tst_Icons::drawsOnTransparentGround_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QIcon>("icon");
    for (int size : {16, 32}) {
        for (int i = 0; i < CommandIconCount; ++i)
            QTest::addRow("%s@%d", IconNames[i], size) << size << commandIcon(i);
        QTest::addRow("application@%d", size) << size << applicationIcon();
    }
}

void tst_Icons::drawsOnTransparentGround()
{
    QFETCH(int, size);
    QFETCH(QIcon, icon);
    QVERIFY(!icon.isNull());
    const QImage image = render(icon, size);
    QCOMPARE(image.size(), QSize(size, size));
    const int last = size - 1;
    for (const QPoint corner : {QPoint(0, 0), QPoint(last, 0), QPoint(0, last), QPoint(last, last)})
        QVERIFY2(qAlpha(image.pixel(corner)) == 0,
            qPrintable(QStringLiteral("corner %1,%2").arg(corner.x()).arg(corner.y())));
    // A picture, not a speck: at least a third of the square is drawn.
    QVERIFY2(
        opaquePixels(image) >= size * size / 3, qPrintable(QString::number(opaquePixels(image))));
}

void tst_Icons::greysWhenDisabled_data()
{
    QTest::addColumn<QIcon>("icon");
    for (int i = 0; i < CommandIconCount; ++i)
        QTest::newRow(IconNames[i]) << commandIcon(i);
    QTest::newRow("application") << applicationIcon();
}

void tst_Icons::greysWhenDisabled()
{
    QFETCH(QIcon, icon);
    const QImage normal = render(icon, 16);
    const QImage disabled = render(icon, 16, QIcon::Disabled);
    QCOMPARE(disabled.size(), normal.size());
    QVERIFY(disabled != normal);
    QVERIFY2(strongestSaturation(disabled) < 40,
        qPrintable(QString::number(strongestSaturation(disabled))));
    QVERIFY(opaquePixels(disabled) > 0);
}

void tst_Icons::everyCommandHasItsOwnPicture()
{
    for (int i = 0; i < CommandIconCount; ++i)
        for (int j = i + 1; j < CommandIconCount; ++j)
            QVERIFY2(render(commandIcon(i), 16) != render(commandIcon(j), 16),
                qPrintable(QStringLiteral("%1 and %2").arg(i).arg(j)));
}

void tst_Icons::indexOutsideTheListGivesNoIcon()
{
    QVERIFY(commandIcon(-1).isNull());
    QVERIFY(commandIcon(CommandIconCount).isNull());
}

QTEST_MAIN(tst_Icons)
#include "tst_icons.moc"
