#include "SearchResultDelegate.h"

#include "ui/SearchResultModel.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr int kMargin = 4;

} // namespace

SearchResultDelegate::SearchResultDelegate(QObject *parent) : QStyledItemDelegate(parent) { }

void SearchResultDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QFontMetrics metrics(option.font);
    const QRect area = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const int line = metrics.height();
    QFont bold = option.font;
    bold.setBold(true);

    // First line: the day, then its number of hits.
    const QString day = index.data(SearchResultModel::DayRole).toString();
    painter->setFont(bold);
    painter->drawText(
        QRect(area.left(), area.top(), area.width(), line), Qt::AlignLeft | Qt::AlignVCenter, day);
    const int dayWidth = QFontMetrics(bold).horizontalAdvance(day);
    painter->setFont(option.font);
    painter->drawText(QRect(area.left() + dayWidth + 2 * metrics.averageCharWidth(), area.top(),
                          area.width(), line),
        Qt::AlignLeft | Qt::AlignVCenter, index.data(SearchResultModel::HitsRole).toString());

    // Second line: the snippet in three runs, the hit bold.
    const QString snippet = index.data(SearchResultModel::SnippetRole).toString();
    const qsizetype boldStart = index.data(SearchResultModel::BoldStartRole).toLongLong();
    const qsizetype boldLength = index.data(SearchResultModel::BoldLengthRole).toLongLong();
    const QString runs[] = {snippet.left(boldStart), snippet.mid(boldStart, boldLength),
        snippet.mid(boldStart + boldLength)};
    int x = area.left();
    const int y = area.top() + line;
    for (int i = 0; i < 3 && x < area.right(); ++i) {
        const QFont &font = i == 1 ? bold : option.font;
        painter->setFont(font);
        const QString text
            = QFontMetrics(font).elidedText(runs[i], Qt::ElideRight, area.right() - x);
        painter->drawText(
            QRect(x, y, area.right() - x, line), Qt::AlignLeft | Qt::AlignVCenter, text);
        x += QFontMetrics(font).horizontalAdvance(text);
    }
    painter->restore();
}

QSize SearchResultDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    const QFontMetrics metrics(option.font);
    return {metrics.averageCharWidth() * 40, 2 * metrics.height() + 2 * kMargin};
}
