#pragma once

#include <QTableWidget>

// A text grid addressed as (column, row) with one fixed header row and one
// fixed first column. Row 0 is the header row (shown as the table's header,
// so the user can resize columns); rows 1.. hold the data.
class TStringGrid : public QTableWidget
{
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr);

    int ColCount() const { return columnCount(); }
    void setColCount(int columns);
    int RowCount() const { return rowCount() + 1; }
    void setRowCount(int rows); // including the header row; at least 2

    QString Cells(int column, int row) const;
    void setCells(int column, int row, const QString& text);

    int ColWidths(int column) const { return columnWidth(column); }
    void setColWidths(int column, int width) { setColumnWidth(column, width); }

    // The row of the current cell (1 when none has been chosen yet).
    int Row() const;
    void setRow(int row);

    // The whole text of the cell under a point of the viewport when the
    // column is too narrow for it, so a hovering user can read it; otherwise empty.
    QString clippedText(const QPoint& position) const;

    void setFixedColor(const QColor& color);
    // 1: the first column is fixed (not selectable, header colour); 0: none.
    void setFixedCols(int count);

protected:
    bool viewportEvent(QEvent* event) override;
    void updateGeometries() override;
    void showEvent(QShowEvent* event) override;

private:
    QTableWidgetItem* itemAt(int column, int row, bool create);
    void styleFixedColumn(int row);

    QColor m_fixedColor;
    int m_fixedCols = 1;
    bool m_geometriesPending = false;
};
