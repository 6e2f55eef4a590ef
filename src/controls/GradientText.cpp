#include "GradientText.h"

#include <QLinearGradient>
#include <QPainter>

TGradientText::TGradientText(QWidget* parent) : QWidget(parent)
{
    QFont f = font();
    f.setBold(true);
    setFont(f);
}

void TGradientText::setLines(const QStringList& lines)
{
    m_lines = lines;
    setAccessibleName(lines.join(u' '));
    update();
}

void TGradientText::setColors(const QColor& begin, const QColor& end)
{
    m_begin = begin;
    m_end = end;
    update();
}

QSize TGradientText::sizeHint() const
{
    return {200, fontMetrics().height() * qMax<int>(1, int(m_lines.size())) + 6};
}

void TGradientText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0, m_begin);
    gradient.setColorAt(1, m_end);
    painter.fillRect(rect(), gradient);
    painter.setPen(Qt::white);
    painter.drawText(rect().adjusted(6, 3, -6, -3), Qt::AlignLeft | Qt::AlignVCenter, m_lines.join(u'\n'));
}

TGradientPanel::TGradientPanel(QWidget* parent) : QWidget(parent) {}

void TGradientPanel::setColors(const QColor& begin, const QColor& end, Qt::Orientation orientation)
{
    m_begin = begin;
    m_end = end;
    m_orientation = orientation;
    update();
}

void TGradientPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient gradient(0, 0, m_orientation == Qt::Horizontal ? width() : 0,
                             m_orientation == Qt::Vertical ? height() : 0);
    gradient.setColorAt(0, m_begin);
    gradient.setColorAt(1, m_end);
    painter.fillRect(rect(), gradient);
}
