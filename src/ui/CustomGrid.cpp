#include "CustomGrid.h"

#include "ui/ErrorReport.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>
#include <qdrawutil.h>

TCustomGrid::TCustomGrid(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TCustomGrid::setColCount(int count)
{
    m_colCount = std::max(count, 1);
    m_col = std::min(m_col, m_colCount - 1);
    update();
}

void TCustomGrid::setRowCount(int count)
{
    m_rowCount = std::max(count, m_fixedRows + 1);
    m_row = std::min(m_row, m_rowCount - 1);
    update();
}

void TCustomGrid::setFixedRows(int count)
{
    m_fixedRows = std::clamp(count, 0, m_rowCount - 1);
    m_row = std::max(m_row, m_fixedRows);
    update();
}

void TCustomGrid::setGridLineWidth(int width)
{
    m_gridLineWidth = std::max(width, 0);
    update();
}

int TCustomGrid::DefaultColWidth() const
{
    return std::max((contentsRect().width() - (m_colCount - 1) * m_gridLineWidth) / m_colCount, 0);
}

int TCustomGrid::DefaultRowHeight() const
{
    return std::max((contentsRect().height() - (m_rowCount - 1) * m_gridLineWidth) / m_rowCount, 0);
}

QRect TCustomGrid::cellRect(int col, int row) const
{
    const QRect client = contentsRect();
    const int width = DefaultColWidth();
    const int height = DefaultRowHeight();
    return QRect(client.left() + col * (width + m_gridLineWidth),
        client.top() + row * (height + m_gridLineWidth), width, height);
}

QPoint TCustomGrid::cellAt(QPoint pos) const
{
    const QPoint inside = pos - contentsRect().topLeft();
    const int pitchX = DefaultColWidth() + m_gridLineWidth;
    const int pitchY = DefaultRowHeight() + m_gridLineWidth;
    if (inside.x() < 0 || inside.y() < 0 || pitchX <= 0 || pitchY <= 0)
        return QPoint(-1, -1);
    // A grid line belongs to the cell before it.
    const int col = inside.x() / pitchX;
    const int row = inside.y() / pitchY;
    if (col >= m_colCount || row >= m_rowCount)
        return QPoint(-1, -1);
    return QPoint(col, row);
}

bool TCustomGrid::MoveCurrent(int col, int row)
{
    if (col < 0 || col >= m_colCount || row < m_fixedRows || row >= m_rowCount)
        return false;
    if (!SelectCell(col, row))
        return false;
    if (col != m_col || row != m_row) {
        update(cellRect(m_col, m_row));
        m_col = col;
        m_row = row;
        update(cellRect(m_col, m_row));
    }
    return true;
}

bool TCustomGrid::SelectCell(int, int)
{
    return true;
}

void TCustomGrid::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    painter.fillRect(contentsRect(), palette().base());
    paintGridLines(painter);
    for (int row = 0; row < m_rowCount; ++row) {
        for (int col = 0; col < m_colCount; ++col) {
            const QRect rect = cellRect(col, row);
            if (!event->rect().intersects(rect))
                continue;
            painter.save();
            paintCell(painter, col, row, rect);
            painter.restore();
            if (isFixed(row))
                paintFixedEdge(painter, rect);
            else if (hasFocus() && col == m_col && row == m_row)
                paintFocus(painter, rect);
        }
    }
}

void TCustomGrid::paintGridLines(QPainter &painter)
{
    if (m_gridLineWidth <= 0)
        return;
    const QRect client = contentsRect();
    const QColor line = palette().color(QPalette::Midlight);
    const int right = cellRect(m_colCount - 1, 0).right();
    const int bottom = cellRect(0, m_rowCount - 1).bottom();
    for (int col = 1; col < m_colCount; ++col) {
        const int x = cellRect(col, 0).left() - m_gridLineWidth;
        painter.fillRect(QRect(x, client.top(), m_gridLineWidth, bottom - client.top() + 1), line);
    }
    for (int row = 1; row < m_rowCount; ++row) {
        const int y = cellRect(0, row).top() - m_gridLineWidth;
        painter.fillRect(QRect(client.left(), y, right - client.left() + 1, m_gridLineWidth), line);
    }
}

void TCustomGrid::paintFixedEdge(QPainter &painter, const QRect &rect)
{
    qDrawShadePanel(&painter, rect, palette(), false, 1);
}

void TCustomGrid::paintFocus(QPainter &painter, const QRect &rect)
{
    // Drawn here rather than by the style, which shows it only after keyboard navigation.
    painter.save();
    painter.setPen(QPen(palette().color(QPalette::HighlightedText), 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(1, 1, -2, -2));
    painter.restore();
}

void TCustomGrid::mousePressEvent(QMouseEvent *event)
{
    // The control that had the focus must finish with it before the current cell moves.
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint cell = cellAt(event->position().toPoint());
    if (cell.x() < 0 || isFixed(cell.y()))
        return;
    m_selecting = true;
    MoveCurrent(cell.x(), cell.y());
}

void TCustomGrid::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_selecting || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint cell = cellAt(event->position().toPoint());
    if (cell.x() >= 0 && !isFixed(cell.y()))
        MoveCurrent(cell.x(), cell.y());
}

void TCustomGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_selecting || event->button() != Qt::LeftButton)
        return;
    const QPoint cell = cellAt(event->position().toPoint());
    if (cell.x() >= 0 && !isFixed(cell.y()))
        MoveCurrent(cell.x(), cell.y());
    m_selecting = false;
    guarded(this, [this] { Click(); });
}

void TCustomGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The first click of the pair already chose the cell.
    event->accept();
}

bool TCustomGrid::keyTarget(const QKeyEvent &event, QPoint &target) const
{
    const bool ctrl = event.modifiers() & Qt::ControlModifier;
    const int firstRow = m_fixedRows;
    const int lastRow = m_rowCount - 1;
    const int lastCol = m_colCount - 1;
    const int page = std::max(m_rowCount - m_fixedRows - 1, 1);
    target = QPoint(m_col, m_row);
    switch (event.key()) {
    case Qt::Key_Left:
        target.rx() = ctrl ? 0 : m_col - 1;
        return true;
    case Qt::Key_Right:
        target.rx() = ctrl ? lastCol : m_col + 1;
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (ctrl)
            return false;
        target.ry() += event.key() == Qt::Key_Up ? -1 : 1;
        return true;
    case Qt::Key_Home:
        target = ctrl ? QPoint(0, firstRow) : QPoint(0, m_row);
        return true;
    case Qt::Key_End:
        target = ctrl ? QPoint(lastCol, lastRow) : QPoint(lastCol, m_row);
        return true;
    case Qt::Key_PageUp:
        target.ry() = ctrl ? firstRow : m_row - page;
        return true;
    case Qt::Key_PageDown:
        target.ry() = ctrl ? lastRow : m_row + page;
        return true;
    default:
        return false;
    }
}

void TCustomGrid::focusCell(QPoint target)
{
    target.rx() = std::clamp(target.x(), 0, m_colCount - 1);
    target.ry() = std::clamp(target.y(), m_fixedRows, m_rowCount - 1);
    MoveCurrent(target.x(), target.y());
    Click();
}

void TCustomGrid::keyPressEvent(QKeyEvent *event)
{
    QPoint target;
    if (!keyTarget(*event, target)) {
        QFrame::keyPressEvent(event);
        return;
    }
    event->accept();
    guarded(this, [&] { focusCell(target); });
}

void TCustomGrid::wheelEvent(QWheelEvent *event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    event->accept();
    // Touchpads send small steps; a week row moves per notch of 120.
    m_wheelDelta += event->angleDelta().y();
    const int steps = m_wheelDelta / QWheelEvent::DefaultDeltasPerStep;
    m_wheelDelta %= QWheelEvent::DefaultDeltasPerStep;
    guarded(this, [&] {
        for (int i = 0; i < std::abs(steps); ++i)
            focusCell(QPoint(m_col, steps > 0 ? m_row - 1 : m_row + 1));
    });
}

void TCustomGrid::focusInEvent(QFocusEvent *event)
{
    QFrame::focusInEvent(event);
    update(cellRect(m_col, m_row));
}

void TCustomGrid::focusOutEvent(QFocusEvent *event)
{
    QFrame::focusOutEvent(event);
    update(cellRect(m_col, m_row));
}
