#pragma once

#include <QHash>
#include <QIconEngine>
#include <QList>
#include <QPixmap>

// An icon whose pictures were baked into the program's resources at build time, one for each
// square size (stem-16.argb, stem-20.argb, ...). A picture is copied out of the program's image
// only when a size is first asked for: the toolbar shows the 16-pixel ones, so the start-up
// neither reads nor holds the larger ones a dense screen would take.
// Made and used on the main thread, like every icon.
class BakedIconEngine : public QIconEngine
{
public:
    // Offers each of sizes that has a bake of the right length under stem.
    BakedIconEngine(const QString &stem, const QList<int> &sizes);

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    bool isNull() override;
    QIconEngine *clone() const override;
    QString key() const override;

private:
    QString pathOf(int size) const;
    // The baked size that serves a request: the same, else the next larger, else the largest.
    int bestSize(const QSize &wanted) const;
    QPixmap picture(int size) const;

    QString m_stem;
    // Smallest first.
    QList<int> m_sizes;
    // Pictures already made, by bake, size shown and mode.
    QHash<quint64, QPixmap> m_made;
};
