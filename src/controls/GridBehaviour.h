#pragma once

#include "WidgetSetup.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

// What every grid of the program shares, whether it holds its own cells or
// shows a model: columns the user can resize under a plain header, no
// editing unless asked for, the whole text of a clipped cell as a tool tip,
// a fixed first column in the header's colour, and the current row counted
// from 1 as the windows address it (row 0 is the header).
template <class View> class TGridBehaviour : public View
{
public:
    explicit TGridBehaviour(QWidget* parent = nullptr) : View(parent)
    {
        this->verticalHeader()->hide();
        this->verticalHeader()->setMinimumSectionSize(10);
        this->verticalHeader()->setDefaultSectionSize(18);
        this->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        this->horizontalHeader()->setHighlightSections(false);
        this->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        this->horizontalHeader()->setMinimumSectionSize(5);
        this->setEditTriggers(QAbstractItemView::NoEditTriggers);
        this->setSelectionMode(QAbstractItemView::ContiguousSelection);
        this->setSelectionBehavior(QAbstractItemView::SelectItems);
        this->setWordWrap(false);
    }

    int ColWidths(int column) const { return this->columnWidth(column); }
    void setColWidths(int column, int width) { this->setColumnWidth(column, width); }

    // The row of the current cell (1 when none has been chosen yet).
    int Row() const
    {
        const QModelIndex current = this->currentIndex();
        return current.isValid() ? current.row() + 1 : 1;
    }
    void setRow(int row)
    {
        if (!this->model() || row < 1 || row > this->model()->rowCount())
            return;
        this->setCurrentIndex(this->model()->index(row - 1, qMax(1, this->currentIndex().column())));
    }

    // The whole text of the cell under a point of the viewport when the
    // column is too narrow for it, so a hovering user can read it; otherwise empty.
    QString clippedText(const QPoint& position) const
    {
        const QModelIndex index = this->indexAt(position);
        const QString text = index.isValid() ? index.data().toString() : QString();
        if (text.isEmpty())
            return {};
        const QVariant font = index.data(Qt::FontRole);
        const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : this->font());
        // The delegate leaves a margin on either side of the text.
        const int margin = this->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
        return metrics.horizontalAdvance(text) + 2 * margin > this->visualRect(index).width() ? text : QString();
    }

    void setFixedColor(const QColor& color)
    {
        m_fixedColor = color;
        this->horizontalHeader()->setStyleSheet(
            QStringLiteral("QHeaderView::section { background-color: %1; border: none; padding-left: 2px; }")
                .arg(color.name()));
        fixedColorChanged();
    }
    QColor fixedColor() const { return m_fixedColor; }

protected:
    virtual void fixedColorChanged() {}

    bool viewportEvent(QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(event);
            const QString text = clippedText(help->pos());
            if (text.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), plainToolTip(text), this->viewport(),
                                   this->visualRect(this->indexAt(help->pos())));
            return true;
        }
        return View::viewportEvent(event);
    }

    // Every change of the columns or of a header text makes the view measure
    // all header texts again. While the grid is hidden nobody sees the result,
    // and a grid that is built and filled at start-up would pay for those
    // measurements (and for loading its fonts) before the first window
    // appears. The work is done once, when the grid is shown.
    void updateGeometries() override
    {
        if (!this->isVisible()) {
            m_geometriesPending = true;
            return;
        }
        m_geometriesPending = false;
        View::updateGeometries();
    }

    void showEvent(QShowEvent* event) override
    {
        View::showEvent(event);
        if (m_geometriesPending)
            updateGeometries();
    }

private:
    QColor m_fixedColor;
    bool m_geometriesPending = false;
};
