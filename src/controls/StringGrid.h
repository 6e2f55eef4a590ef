#pragma once

#include "GridBehaviour.h"

#include <QTableWidget>

// A text grid addressed as (column, row) with one fixed header row and one
// fixed first column. Row 0 is the header row (shown as the table's header,
// so the user can resize columns); rows 1.. hold the data.
class TStringGrid : public TGridBehaviour<QTableWidget>
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

    // 1: the first column is fixed (not selectable, header colour); 0: none.
    void setFixedCols(int count);

protected:
    void fixedColorChanged() override;

private:
    QTableWidgetItem* itemAt(int column, int row, bool create);
    void styleFixedColumn(int row);

    int m_fixedCols = 1;
};
