#include "StringGrid.h"

TStringGrid::TStringGrid(QWidget* parent) : TGridBehaviour<QTableWidget>(parent)
{
    QTableWidget::setRowCount(1);
}

void TStringGrid::setColCount(int columns)
{
    setColumnCount(columns);
    for (int c = 0; c < columns; ++c) {
        if (!horizontalHeaderItem(c))
            setHorizontalHeaderItem(c, new QTableWidgetItem(QString()));
    }
    for (int r = 1; r < RowCount(); ++r)
        styleFixedColumn(r);
}

void TStringGrid::setRowCount(int rows)
{
    const int oldRows = RowCount();
    QTableWidget::setRowCount(qMax(1, rows - 1));
    for (int r = oldRows; r < RowCount(); ++r)
        styleFixedColumn(r);
}

QString TStringGrid::Cells(int column, int row) const
{
    if (column < 0 || column >= columnCount() || row < 0 || row >= RowCount())
        return {};
    const QTableWidgetItem* it = row == 0 ? horizontalHeaderItem(column) : item(row - 1, column);
    return it ? it->text() : QString();
}

void TStringGrid::setCells(int column, int row, const QString& text)
{
    if (QTableWidgetItem* it = itemAt(column, row, true))
        it->setText(text);
}

QTableWidgetItem* TStringGrid::itemAt(int column, int row, bool create)
{
    if (column < 0 || column >= columnCount() || row < 0 || row >= RowCount())
        return nullptr;
    if (row == 0) {
        QTableWidgetItem* header = horizontalHeaderItem(column);
        if (!header && create) {
            header = new QTableWidgetItem;
            setHorizontalHeaderItem(column, header);
        }
        return header;
    }
    QTableWidgetItem* it = item(row - 1, column);
    if (!it && create) {
        it = new QTableWidgetItem;
        setItem(row - 1, column, it);
        if (column == 0)
            styleFixedColumn(row);
        else if (editTriggers() != QAbstractItemView::NoEditTriggers)
            it->setFlags(it->flags() | Qt::ItemIsEditable);
    }
    return it;
}

void TStringGrid::setFixedCols(int count)
{
    m_fixedCols = count > 0 ? 1 : 0;
}

void TStringGrid::styleFixedColumn(int row)
{
    if (m_fixedCols == 0 || columnCount() == 0 || row < 1 || row >= RowCount())
        return;
    QTableWidgetItem* it = item(row - 1, 0);
    if (!it) {
        it = new QTableWidgetItem;
        setItem(row - 1, 0, it);
    }
    it->setFlags(Qt::ItemIsEnabled);
    if (fixedColor().isValid())
        it->setBackground(fixedColor());
}

void TStringGrid::fixedColorChanged()
{
    for (int r = 1; r < RowCount(); ++r)
        styleFixedColumn(r);
}
