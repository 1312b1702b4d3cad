#pragma once

#include "search/SearchResult.h"

#include <QAbstractListModel>
#include <QList>

// The rows of the search window, in the order they were found (newest day first).
class SearchResultModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        DayRole = Qt::UserRole + 1, // "2024/5/3(金)", with "（別の版）" for a kept copy
        HitsRole, // "3件"
        SnippetRole,
        BoldStartRole,
        BoldLengthRole,
    };

    explicit SearchResultModel(QObject *parent);

    void clear();
    void append(const QList<SearchResult> &rows);
    const SearchResult &result(int row) const { return m_rows.at(row); }

    int rowCount(const QModelIndex &parent = {}) const override;
    // DisplayRole: the whole row as one line, as copying it gives.
    QVariant data(const QModelIndex &index, int role) const override;

    // "2024/5/3(金)": the year as its folder names it, the weekday in Japanese.
    static QString dayText(int year, int month, int day);

private:
    QList<SearchResult> m_rows;
};
