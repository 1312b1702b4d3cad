#pragma once

#include <QStyledItemDelegate>

// Draws a row of the search results: the day and its number of hits on the first line, the
// words around the first hit on the second, the hit in bold.
class SearchResultDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit SearchResultDelegate(QObject *parent);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
