#include "BlinkLabel.h"

#include <QFontMetrics>
#include <QPainter>

TBlinkLabel::TBlinkLabel(QWidget* parent) : QWidget(parent)
{
    m_fontColor = palette().color(QPalette::WindowText);
    m_savedFontColor = m_fontColor;
    m_backgroundColor = palette().color(QPalette::Window);
    m_shadowColor = palette().color(QPalette::Light);
    m_timer.setInterval(300);
    connect(&m_timer, &QTimer::timeout, this, &TBlinkLabel::step);
}

void TBlinkLabel::setCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    setAccessibleName(caption);
    updateGeometry();
    update();
}

void TBlinkLabel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

void TBlinkLabel::setBlink(TBlinkMode mode)
{
    if (mode == TBlinkMode::blBlink) {
        // Re-selecting blinking in the dark phase must not take the invisible
        // colour as the one to return to, or the caption would never show again.
        const bool dark = m_blink == TBlinkMode::blBlink && m_fontColor == m_backgroundColor;
        if (!dark)
            m_savedFontColor = m_fontColor;
    } else {
        m_fontColor = m_savedFontColor;
    }
    m_blink = mode;
    if (mode == TBlinkMode::blNone)
        m_timer.stop();
    else
        m_timer.start();
    update();
}

void TBlinkLabel::setBlinkInterval(int milliseconds)
{
    m_timer.setInterval(milliseconds);
}

void TBlinkLabel::setHiColor(const QColor& color)
{
    m_hiColor = color;
}

void TBlinkLabel::setLoColor(const QColor& color)
{
    m_loColor = color;
}

void TBlinkLabel::setCtl3D(bool on)
{
    m_ctl3D = on;
    update();
}

void TBlinkLabel::setDeep(int pixels)
{
    if (pixels < 1 || pixels > 2)
        return;
    m_deep = pixels;
    updateGeometry();
    update();
}

void TBlinkLabel::setShadowColor(const QColor& color)
{
    m_shadowColor = color;
    update();
}

void TBlinkLabel::setBorder(TBlinkBorder border)
{
    m_border = border;
    update();
}

void TBlinkLabel::setTransparent(bool transparent)
{
    m_transparent = transparent;
    update();
}

void TBlinkLabel::setFontColor(const QColor& color)
{
    m_fontColor = color;
    update();
}

void TBlinkLabel::setBackgroundColor(const QColor& color)
{
    m_backgroundColor = color;
    update();
}

void TBlinkLabel::step()
{
    switch (m_blink) {
    case TBlinkMode::blHiLo:
        m_fontColor = m_fontColor == m_hiColor ? m_loColor : m_hiColor;
        break;
    case TBlinkMode::blBlink:
        m_fontColor = m_fontColor == m_backgroundColor ? m_savedFontColor : m_backgroundColor;
        break;
    case TBlinkMode::blNone:
        return;
    }
    update();
}

QSize TBlinkLabel::sizeHint() const
{
    const QSize text = QFontMetrics(font()).size(Qt::TextSingleLine, m_caption);
    return text + QSize(m_deep + 2, m_deep + 2);
}

void TBlinkLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), m_backgroundColor);

    // The border stays inside the client area less one pixel at the right and bottom.
    const int right = width() - 2;
    const int bottom = height() - 2;
    const auto frame = [&](const QColor& topLeft, const QColor& bottomRight) {
        painter.setPen(topLeft);
        painter.drawLine(0, 0, right, 0);
        painter.drawLine(0, 0, 0, bottom);
        painter.setPen(bottomRight);
        painter.drawLine(0, bottom, right, bottom);
        painter.drawLine(right, 0, right, bottom);
    };
    const QColor highlight = palette().color(QPalette::Active, QPalette::Light);
    const QColor shadow = palette().color(QPalette::Active, QPalette::Dark);
    switch (m_border) {
    case TBlinkBorder::boSingle: {
        const QColor windowFrame = palette().color(QPalette::Active, QPalette::Shadow);
        frame(windowFrame, windowFrame);
        break;
    }
    case TBlinkBorder::boRaised:
        frame(highlight, shadow);
        break;
    case TBlinkBorder::boLowered:
        frame(shadow, highlight);
        break;
    case TBlinkBorder::boNone:
        break;
    }

    // Equal to the background means the dark phase of blinking: nothing is drawn.
    if (m_fontColor == m_backgroundColor)
        return;
    painter.setFont(font());
    const int flags = static_cast<int>(m_alignment) | Qt::TextSingleLine;
    if (m_ctl3D) {
        painter.setPen(m_shadowColor);
        painter.drawText(rect().translated(m_deep, m_deep), flags, m_caption);
    }
    painter.setPen(isEnabled() ? m_fontColor : palette().color(QPalette::Disabled, QPalette::WindowText));
    painter.drawText(rect(), flags, m_caption);
}
