#include "SearchResultModel.h"

#include <QDate>
#include <QLocale>

SearchResultModel::SearchResultModel(QObject *parent) : QAbstractListModel(parent) { }

void SearchResultModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void SearchResultModel::append(const QList<SearchResult> &rows)
{
    if (rows.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size() - 1));
    m_rows.append(rows);
    endInsertRows();
}

int SearchResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant SearchResultModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const SearchResult &row = m_rows.at(index.row());
    const QString day = dayText(row.year, row.month, row.day)
        + (row.keptCopy ? QStringLiteral("（別の版）") : QString());
    const QString hits = QString::number(row.hits) + QStringLiteral("件");
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return day + u' ' + hits + u' ' + row.snippet.text;
    case DayRole:
        return day;
    case HitsRole:
        return hits;
    case SnippetRole:
        return row.snippet.text;
    case BoldStartRole:
        return qlonglong(row.snippet.boldStart);
    case BoldLengthRole:
        return qlonglong(row.snippet.boldLength);
    default:
        return {};
    }
}

QString SearchResultModel::dayText(int year, int month, int day)
{
    // The folders count a year 0; the calendar behind QDate goes from 1 BC to AD 1.
    const QDate date(year <= 0 ? year - 1 : year, month, day);
    const QString weekday
        = QLocale(QLocale::Japanese).dayName(date.dayOfWeek(), QLocale::ShortFormat);
    return QStringLiteral("%1/%2/%3(%4)").arg(year).arg(month).arg(day).arg(weekday);
}
