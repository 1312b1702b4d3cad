#pragma once

#include <QFrame>
#include <QPoint>

class QPainter;

// A grid of equal cells filling the control, with fixed header rows, one current cell and
// keyboard, mouse and wheel navigation. Derived controls draw the cells and decide which cells
// may become current.
class TCustomGrid : public QFrame
{
    Q_OBJECT

public:
    explicit TCustomGrid(QWidget *parent);

    int ColCount() const { return m_colCount; }
    int RowCount() const { return m_rowCount; }
    int FixedRows() const { return m_fixedRows; }
    int GridLineWidth() const { return m_gridLineWidth; }
    void setColCount(int count);
    void setRowCount(int count);
    void setFixedRows(int count);
    void setGridLineWidth(int width);

    // Cells share the client area evenly; whatever the division leaves stays blank.
    int DefaultColWidth() const;
    int DefaultRowHeight() const;
    QRect cellRect(int col, int row) const;
    // The cell under a point of the control, or (-1, -1) outside every cell.
    QPoint cellAt(QPoint pos) const;

    int Col() const { return m_col; }
    int Row() const { return m_row; }

protected:
    // Moves the current cell there when the cell exists and may become current.
    bool MoveCurrent(int col, int row);
    virtual bool SelectCell(int col, int row);
    virtual void paintCell(QPainter &painter, int col, int row, const QRect &rect) = 0;
    // Runs after every move the user made or tried.
    virtual void Click() { }

    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool isFixed(int row) const { return row < m_fixedRows; }
    bool keyTarget(const QKeyEvent &event, QPoint &target) const;
    void focusCell(QPoint target);
    void paintGridLines(QPainter &painter);
    void paintFixedEdge(QPainter &painter, const QRect &rect);
    void paintFocus(QPainter &painter, const QRect &rect);

    int m_colCount = 5;
    int m_rowCount = 5;
    int m_fixedRows = 1;
    int m_gridLineWidth = 1;
    int m_col = 0;
    int m_row = 1;
    bool m_selecting = false;
    int m_wheelDelta = 0;
};
