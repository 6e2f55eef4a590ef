#pragma once

#include "GridBehaviour.h"

#include <QTableView>

// A grid that shows a model instead of holding cells: the model owns the
// rows, the grid only draws them. Addressed as the text grid is, row 0 being
// the header and rows 1.. the model's rows; its first column is fixed.
class TModelGrid : public TGridBehaviour<QTableView>
{
    Q_OBJECT
public:
    explicit TModelGrid(QWidget* parent = nullptr);

    int ColCount() const { return model() ? model()->columnCount() : 0; }
    // The header row and the model's rows.
    int RowCount() const { return (model() ? model()->rowCount() : 0) + 1; }
    QString Cells(int column, int row) const;
    // Rows whose model data in this role is true are drawn in bold; -1 for none.
    int emphasisRole() const { return m_emphasisRole; }
    void setEmphasisRole(int role)
    {
        m_emphasisRole = role;
        viewport()->update();
    }

protected:
    void fixedColorChanged() override { viewport()->update(); }

private:
    int m_emphasisRole = -1;
};
