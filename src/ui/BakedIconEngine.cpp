#include "BakedIconEngine.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QResource>
#include <QStyle>
#include <QStyleOption>
#include <QThread>

#include <algorithm>
#include <cstring>

BakedIconEngine::BakedIconEngine(const QString &stem, const QList<int> &sizes) : m_stem(stem)
{
    // A bake of another length would be read past its end; only the resource's index is read.
    for (const int size : sizes) {
        const QResource bake(pathOf(size));
        if (bake.isValid() && bake.uncompressedSize() == qint64(size) * size * 4)
            m_sizes << size;
    }
    std::sort(m_sizes.begin(), m_sizes.end());
}

QString BakedIconEngine::pathOf(int size) const
{
    return QStringLiteral("%1-%2.argb").arg(m_stem).arg(size);
}

int BakedIconEngine::bestSize(const QSize &wanted) const
{
    const int side = qMax(wanted.width(), wanted.height());
    for (const int size : m_sizes) {
        if (size >= side)
            return size;
    }
    return m_sizes.isEmpty() ? 0 : m_sizes.last();
}

QPixmap BakedIconEngine::picture(int size) const
{
    // A bake is the picture's premultiplied ARGB32 pixels, row after row
    // (src/tools/IconBaker.cpp): copying them is all it takes.
    const QByteArray pixels = QResource(pathOf(size)).uncompressedData();
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull() || pixels.size() != image.sizeInBytes())
        return QPixmap();
    std::memcpy(image.bits(), pixels.constData(), static_cast<std::size_t>(pixels.size()));
    return QPixmap::fromImage(std::move(image));
}

QPixmap BakedIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State)
{
    // The pictures made so far are kept without a lock.
    Q_ASSERT_X(
        QThread::currentThread() == qApp->thread(), "BakedIconEngine", "called off the GUI thread");
    const int baked = bestSize(size);
    if (baked == 0 || size.isEmpty())
        return QPixmap();
    // Never larger than asked: a larger bake is scaled down, as the toolkit's own icons are.
    const QSize fitted = QSize(baked, baked).boundedTo(size);
    const quint64 key = quint64(baked) | quint64(fitted.width()) << 16
        | quint64(fitted.height()) << 32 | quint64(mode) << 48;
    const auto made = m_made.constFind(key);
    if (made != m_made.cend())
        return *made;
    QPixmap pixmap = picture(baked);
    if (!pixmap.isNull() && fitted != pixmap.size())
        pixmap = pixmap.scaled(fitted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // The greyed and selected looks are the style's, as for any icon.
    if (!pixmap.isNull() && mode != QIcon::Normal) {
        QStyleOption option(0);
        option.palette = QGuiApplication::palette();
        pixmap = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
    }
    m_made.insert(key, pixmap);
    return pixmap;
}

void BakedIconEngine::paint(
    QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state)
{
    // As many of the device's pixels as the rectangle covers, so a dense screen gets its own bake.
    const qreal ratio
        = painter->device() ? painter->device()->devicePixelRatio() : qApp->devicePixelRatio();
    painter->drawPixmap(rect, pixmap(rect.size() * ratio, mode, state));
}

QSize BakedIconEngine::actualSize(const QSize &size, QIcon::Mode, QIcon::State)
{
    const int baked = bestSize(size);
    return baked == 0 ? QSize() : QSize(baked, baked).boundedTo(size);
}

QList<QSize> BakedIconEngine::availableSizes(QIcon::Mode, QIcon::State)
{
    QList<QSize> sizes;
    for (const int size : m_sizes)
        sizes << QSize(size, size);
    return sizes;
}

bool BakedIconEngine::isNull()
{
    return m_sizes.isEmpty();
}

QIconEngine *BakedIconEngine::clone() const
{
    return new BakedIconEngine(*this);
}

QString BakedIconEngine::key() const
{
    return QStringLiteral("BakedIconEngine");
}
