#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QTest>

#include "ui/Icons.h"

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
    void drawsOnTransparentGround_data();
    void drawsOnTransparentGround();
    void greysWhenDisabled_data();
    void greysWhenDisabled();
    void everyCommandHasItsOwnPicture();
    void indexOutsideTheListGivesNoIcon();
};

void tst_Icons::initTestCase()
{
    // Without the SVG plugins every icon below would come out empty.
    QVERIFY(QImageReader::supportedImageFormats().contains("svg"));
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
