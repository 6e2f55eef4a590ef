#include "FWShadowLabel.h"

#include <QPainter>
#include <QStyle>

TFWShadowLabel::TFWShadowLabel(QWidget* parent) : QLabel(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void TFWShadowLabel::setShadowColor(const QColor& color)
{
    m_shadowColor = color;
    update();
}

void TFWShadowLabel::setShadowDeep(quint8 deep)
{
    m_shadowDeep = deep;
    updateGeometry();
    update();
}

QSize TFWShadowLabel::sizeHint() const
{
    return QLabel::sizeHint() + QSize(m_shadowDeep, m_shadowDeep);
}

QSize TFWShadowLabel::minimumSizeHint() const
{
    return QLabel::minimumSizeHint() + QSize(m_shadowDeep, m_shadowDeep);
}

void TFWShadowLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    int flags = int(alignment());
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    // Keep room for the shadow inside the label so it is never clipped.
    const QRect area = contentsRect().adjusted(0, 0, -m_shadowDeep, -m_shadowDeep);
    painter.setFont(font());
    if (m_shadowDeep > 0) {
        painter.setPen(m_shadowColor);
        painter.drawText(area.translated(m_shadowDeep, m_shadowDeep), flags, text());
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, flags, text());
}
