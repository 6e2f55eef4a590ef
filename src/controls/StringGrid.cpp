#include "StringGrid.h"

#include "WidgetSetup.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

TStringGrid::TStringGrid(QWidget* parent) : QTableWidget(parent)
{
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(10);
    verticalHeader()->setDefaultSectionSize(18);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setMinimumSectionSize(5);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
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

QString TStringGrid::clippedText(const QPoint& position) const
{
    const QModelIndex index = indexAt(position);
    const QTableWidgetItem* it = index.isValid() ? item(index.row(), index.column()) : nullptr;
    if (!it || it->text().isEmpty())
        return {};
    // The delegate leaves a margin on either side of the text.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int needed = QFontMetrics(it->font()).horizontalAdvance(it->text()) + 2 * margin;
    return needed > visualRect(index).width() ? it->text() : QString();
}

bool TStringGrid::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = clippedText(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), plainToolTip(text), viewport(), visualRect(indexAt(help->pos())));
        return true;
    }
    return QTableWidget::viewportEvent(event);
}

// Every change of the columns or of a header text makes the view measure all
// header texts again. While the grid is hidden nobody sees the result, and a
// grid that is built and filled at start-up would pay for those measurements
// (and for loading its fonts) before the first window appears. The work is
// done once, when the grid is shown.
void TStringGrid::updateGeometries()
{
    if (!isVisible()) {
        m_geometriesPending = true;
        return;
    }
    m_geometriesPending = false;
    QTableWidget::updateGeometries();
}

void TStringGrid::showEvent(QShowEvent* event)
{
    QTableWidget::showEvent(event);
    if (m_geometriesPending)
        updateGeometries();
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
    if (m_fixedColor.isValid())
        it->setBackground(m_fixedColor);
}

int TStringGrid::Row() const
{
    const int current = currentRow();
    return current < 0 ? 1 : current + 1;
}

void TStringGrid::setRow(int row)
{
    if (row >= 1 && row < RowCount())
        setCurrentCell(row - 1, qMax(1, currentColumn()));
}

void TStringGrid::setFixedColor(const QColor& color)
{
    m_fixedColor = color;
    horizontalHeader()->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: %1; border: none; "
                                                     "padding-left: 2px; }")
                                          .arg(color.name()));
    for (int r = 1; r < RowCount(); ++r)
        styleFixedColumn(r);
}
