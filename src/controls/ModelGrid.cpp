#include "ModelGrid.h"

#include <QStyledItemDelegate>

namespace {

// Paints the first column in the grid's fixed colour, as the text grid's
// fixed cells are.
class FixedColumnDelegate : public QStyledItemDelegate
{
public:
    explicit FixedColumnDelegate(TModelGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == 0 && m_grid->fixedColor().isValid())
            option->backgroundBrush = m_grid->fixedColor();
        if (m_grid->emphasisRole() >= 0 && index.data(m_grid->emphasisRole()).toBool())
            option->font.setBold(true);
    }

private:
    TModelGrid* m_grid;
};

} // namespace

TModelGrid::TModelGrid(QWidget* parent) : TGridBehaviour<QTableView>(parent)
{
    setItemDelegate(new FixedColumnDelegate(this));
}

QString TModelGrid::Cells(int column, int row) const
{
    if (!model() || column < 0 || column >= ColCount() || row < 0 || row >= RowCount())
        return {};
    if (row == 0)
        return model()->headerData(column, Qt::Horizontal).toString();
    return model()->index(row - 1, column).data().toString();
}
