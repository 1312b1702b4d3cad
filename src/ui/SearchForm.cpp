#include "SearchForm.h"

#include "search/DiaryScanner.h"
#include "ui/SearchResultDelegate.h"
#include "ui/SearchResultModel.h"
#include "ui/UiFont.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kWidth = 440;
constexpr int kMinWidth = 320;
constexpr int kGap = 8;

} // namespace

TfrmSearch::TfrmSearch(QWidget *owner, ScanWorker::Lister lister, std::function<Scope()> scope)
    : QWidget(owner, Qt::Window), m_lister(std::move(lister)), m_scope(std::move(scope))
{
    setObjectName(QStringLiteral("frmSearch"));
    setWindowTitle(QStringLiteral("日記の検索"));
    createControls();
    bindEvents();
}

TfrmSearch::~TfrmSearch() = default;

void TfrmSearch::createControls()
{
    edtQuery = new QLineEdit(this);
    edtQuery->setObjectName(QStringLiteral("edtQuery"));
    edtQuery->setFont(uiFont(14));
    edtQuery->setAccessibleName(windowTitle());
    m_model = new SearchResultModel(this);
    lstResults = new QListView(this);
    lstResults->setObjectName(QStringLiteral("lstResults"));
    lstResults->setModel(m_model);
    lstResults->setItemDelegate(new SearchResultDelegate(lstResults));
    lstResults->setFont(uiFont(14));
    lstResults->setUniformItemSizes(true);
    lstResults->setSelectionMode(QAbstractItemView::SingleSelection);
    lstResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setFont(uiFont(12));
    m_quiet = new QTimer(this);
    m_quiet->setSingleShot(true);
    m_quiet->setInterval(kQuietMs);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kGap, kGap, kGap, kGap);
    layout->addWidget(edtQuery);
    layout->addWidget(lstResults, 1);
    layout->addWidget(lblStatus);
    resize(kWidth, 560);
}

void TfrmSearch::bindEvents()
{
    // The field's text holds committed characters only: what the input method is still
    // composing changes nothing here.
    connect(edtQuery, &QLineEdit::textChanged, this, [this] { edtQueryChange(); });
    connect(edtQuery, &QLineEdit::returnPressed, this, [this] { edtQueryReturn(); });
    connect(m_quiet, &QTimer::timeout, this, [this] { startSearch(); });
    connect(lstResults, &QListView::doubleClicked, this,
        [this](const QModelIndex &index) { showRow(index.row()); });
    edtQuery->installEventFilter(this);
    lstResults->installEventFilter(this);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        close();
        emit dismissed();
    });
    auto *copy
        = new QShortcut(QKeySequence::Copy, lstResults, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, [this] { copyRows(); });
}

void TfrmSearch::open()
{
    if (!isVisible())
        show();
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    edtQuery->setFocus(Qt::ShortcutFocusReason);
    edtQuery->selectAll();
}

void TfrmSearch::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        placeBesideOwner();
        m_placed = true;
    }
    if (!m_scanner) {
        m_scanner = new DiaryScanner(m_lister, this);
        connect(m_scanner, &DiaryScanner::found, this,
            [this](const QList<SearchResult> &rows) { rowsFound(rows); });
        connect(m_scanner, &DiaryScanner::finished, this,
            [this](int days, int hits) { searchFinished(days, hits); });
        startSearch();
    }
    QWidget::showEvent(event);
}

void TfrmSearch::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return; // minimised: still open
    // The folded diary is given back; the query stays for the next opening.
    m_quiet->stop();
    delete std::exchange(m_scanner, nullptr);
    m_model->clear();
    m_query = SearchQuery();
    m_showFirstFound = false;
    emit markedTermsChanged({});
}

void TfrmSearch::placeBesideOwner()
{
    const QWidget *owner = parentWidget();
    if (!owner)
        return;
    const QRect frame = owner->frameGeometry();
    const QScreen *screen = owner->screen();
    const QRect room = screen ? screen->availableGeometry() : frame;
    const int height = std::min(frame.height(), room.height());
    // Beside the main window, never over its panes while the screen has room on either side
    // (narrower down to kMinWidth if need be); else along the side with more room.
    const int right = room.right() - frame.right() - kGap;
    const int left = frame.left() - room.left() - kGap;
    int width = std::min(kWidth, room.width());
    int x;
    if (right >= width || (right >= kMinWidth && right >= left)) {
        width = std::min(width, right);
        x = frame.right() + kGap;
    } else if (left >= kMinWidth) {
        width = std::min(width, left);
        x = frame.left() - kGap - width;
    } else {
        x = right >= left ? room.right() - width : room.left();
    }
    const int y = std::clamp(frame.top(), room.top(), std::max(room.top(), room.bottom() - height));
    resize(width, height);
    move(x, y);
}

void TfrmSearch::edtQueryChange()
{
    m_quiet->start();
}

void TfrmSearch::edtQueryReturn()
{
    if (m_quiet->isActive() || SearchQuery(edtQuery->text()) != m_query) {
        m_showFirstFound = true;
        startSearch();
        return;
    }
    if (m_model->rowCount() > 0)
        showRow(0);
    else if (m_scanner && m_scanner->running())
        m_showFirstFound = true;
}

void TfrmSearch::startSearch()
{
    m_quiet->stop();
    if (!m_scanner)
        return;
    m_query = SearchQuery(edtQuery->text());
    m_model->clear();
    emit markedTermsChanged(m_query.terms());
    if (m_query.isEmpty()) {
        m_scanner->cancel();
        m_showFirstFound = false;
        lblStatus->clear();
        return;
    }
    lblStatus->setText(QStringLiteral("検索中…"));
    const Scope scope = m_scope();
    m_scanner->search(m_query, scope.folder, scope.notOnDisk);
}

void TfrmSearch::rowsFound(const QList<SearchResult> &rows)
{
    m_model->append(rows);
    if (m_showFirstFound && m_model->rowCount() > 0) {
        m_showFirstFound = false;
        showRow(0);
    }
}

void TfrmSearch::searchFinished(int days, int hits)
{
    m_showFirstFound = false;
    lblStatus->setText(days == 0 ? QStringLiteral("見つかりません")
                                 : QStringLiteral("%1日 / %2件").arg(days).arg(hits));
}

void TfrmSearch::showRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    lstResults->setCurrentIndex(m_model->index(row));
    const SearchResult &result = m_model->result(row);
    emit dayChosen(result.year, result.month, result.day);
}

bool TfrmSearch::showNeighbour(int step)
{
    const int count = m_model->rowCount();
    const QModelIndex current = lstResults->currentIndex();
    const int row = current.isValid() ? current.row() + step : (step > 0 ? 0 : count - 1);
    if (row < 0 || row >= count)
        return false;
    showRow(row);
    return true;
}

QStringList TfrmSearch::markedTerms() const
{
    return isVisible() ? m_query.terms() : QStringList();
}

void TfrmSearch::copyRows()
{
    QStringList lines;
    for (const QModelIndex &index : lstResults->selectionModel()->selectedRows())
        lines.append(index.data().toString());
    if (!lines.isEmpty())
        QGuiApplication::clipboard()->setText(lines.join(u'\n'));
}

bool TfrmSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (watched == edtQuery && key->key() == Qt::Key_Down && m_model->rowCount() > 0) {
        lstResults->setFocus(Qt::TabFocusReason);
        lstResults->setCurrentIndex(m_model->index(0));
        return true;
    }
    if (watched == lstResults && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        showRow(lstResults->currentIndex().row());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
