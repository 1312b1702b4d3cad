#pragma once

#include "search/ScanWorker.h"
#include "search/SearchQuery.h"
#include "search/SearchResult.h"

#include <QWidget>

#include <functional>

class DiaryScanner;
class QLabel;
class QLineEdit;
class QListView;
class QTimer;
class SearchResultModel;

// The window "日記の検索": a query field, the days that hold every term (newest first) and a
// status line. Owned by the main window, never modal; showing a day is the main window's
// business (dayChosen). The folded texts of the diary are kept only while it is open.
//
// Threads: GUI thread only; the scan runs on DiaryScanner's thread.
class TfrmSearch : public QWidget
{
    Q_OBJECT

public:
    // The diary folder and the texts the page holds that are not on disk yet, at this moment.
    struct Scope
    {
        QString folder;
        QList<SearchSource> notOnDisk;
    };
    static constexpr int kQuietMs = 200;

    TfrmSearch(QWidget *owner, ScanWorker::Lister lister, std::function<Scope()> scope);
    ~TfrmSearch() override;

    // Shows the window beside its owner (or brings it to the front) with the query selected.
    void open();
    // Selects the result step rows on from the selected one (the first when none is) and
    // shows its day; false when there is no such row.
    bool showNeighbour(int step);
    // The folded terms shown as marks on the page; none while closed.
    QStringList markedTerms() const;

    QLineEdit *edtQuery = nullptr;
    QListView *lstResults = nullptr;
    QLabel *lblStatus = nullptr;

signals:
    void dayChosen(int year, int month, int day);
    void markedTermsChanged(const QStringList &foldedTerms);
    // Esc: the person goes back to the page.
    void dismissed();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void bindEvents();
    void placeBesideOwner();
    void edtQueryChange();
    void edtQueryReturn();
    void startSearch();
    void rowsFound(const QList<SearchResult> &rows);
    void searchFinished(int days, int hits);
    void showRow(int row);
    void copyRows();

    ScanWorker::Lister m_lister;
    std::function<Scope()> m_scope;
    SearchResultModel *m_model = nullptr;
    DiaryScanner *m_scanner = nullptr; // while open
    QTimer *m_quiet = nullptr;
    SearchQuery m_query;
    bool m_showFirstFound = false;
    bool m_placed = false;
};
