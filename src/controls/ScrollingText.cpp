#include "ScrollingText.h"

#include "RangeError.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

const QRgb KeyGreen = qRgb(0, 128, 0);
const QRgb KeyRed = qRgb(255, 0, 0);

// a * b / c in 64 bits, rounded to the nearest integer (halves away from zero).
qint64 mulDivRound(qint64 a, qint64 b, qint64 c)
{
    const qint64 p = a * b;
    const bool negative = (p < 0) != (c < 0);
    const qint64 ap = p < 0 ? -p : p;
    const qint64 ac = c < 0 ? -c : c;
    const qint64 q = (2 * ap + ac) / (2 * ac);
    return negative ? -q : q;
}

int fadeComponent(int a, int b, int k, int n)
{
    return static_cast<int>(a + mulDivRound(k - 1, b - a, n - 1));
}

} // namespace

TScrollingText::TScrollingText(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(50, 30);
    setAccessibleName(m_text);
    m_timer.setInterval(m_speed);
    connect(&m_timer, &QTimer::timeout, this, &TScrollingText::step);
    rebuild();
    resetPosition();
    m_timer.start();
}

QColor TScrollingText::fadeColor(const QColor& a, const QColor& b, int k, int n)
{
    if (k < 1 || k > n)
        throw ERangeError(u"ColorIndex can't be less than 1 or greater than "_s + QString::number(n));
    // One step has no distance to divide: it is the target colour.
    if (n == 1)
        return QColor(b.rgb());
    return QColor(fadeComponent(a.red(), b.red(), k, n), fadeComponent(a.green(), b.green(), k, n),
                  fadeComponent(a.blue(), b.blue(), k, n));
}

void TScrollingText::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    rebuild();
}

void TScrollingText::setSpeed(int milliseconds)
{
    m_speed = milliseconds;
    m_timer.setInterval(milliseconds);
}

void TScrollingText::setPixelJump(int pixels)
{
    m_pixelJump = pixels;
}

void TScrollingText::setTextDirection(TTextDirection direction)
{
    m_direction = direction;
    rebuild();
    resetPosition();
}

void TScrollingText::setLayout(TTextLayout layout)
{
    m_layout = layout;
    rebuild();
}

void TScrollingText::setBackgroundColor(const QColor& color)
{
    m_background = color;
    rebuild();
}

void TScrollingText::setEdgeFadeWidth(int pixels)
{
    m_fadeWidth = pixels;
    rebuild();
}

void TScrollingText::setFontColor(const QColor& color)
{
    m_fontColor = color;
    rebuild();
}

QSize TScrollingText::sizeHint() const
{
    return {50, 30};
}

QFont TScrollingText::stripFont() const
{
    // The key colour must come out exactly, so the strip's text is not smoothed.
    QFont result = font();
    result.setStyleStrategy(QFont::NoAntialias);
    return result;
}

int TScrollingText::stripWidth() const
{
    return QFontMetrics(stripFont()).horizontalAdvance(m_text) + 2 * width();
}

void TScrollingText::resetPosition()
{
    m_positionStale = true;
}

void TScrollingText::settlePosition() const
{
    if (!m_positionStale)
        return;
    m_positionStale = false;
    m_x = m_direction == TTextDirection::tdRightToLeft ? 0 : width() - stripWidth();
}

int TScrollingText::position() const
{
    settlePosition();
    return m_x;
}

void TScrollingText::rebuild()
{
    // The pictures are drawn when next painted: setting the control up
    // changes one property after the other, and each would draw them anew.
    m_key = QColor::fromRgb(m_fontColor.rgb() == KeyGreen || m_background.rgb() == KeyGreen ? KeyRed : KeyGreen);
    m_stale = true;
    update();
}

void TScrollingText::build()
{
    m_stale = false;
    const int w = width();
    const int h = height();

    const QFont textFont = stripFont();
    const QFontMetrics metrics(textFont);
    const int textHeight = metrics.height();

    m_strip = QImage(stripWidth(), h, QImage::Format_ARGB32);
    m_strip.fill(m_background.rgb());
    if (!m_strip.isNull()) {
        int y = 0;
        if (m_layout == TTextLayout::tlCenter)
            y = h / 2 - textHeight / 2;
        else if (m_layout == TTextLayout::tlBottom)
            y = h - textHeight;
        QPainter painter(&m_strip);
        painter.setFont(textFont);
        painter.setPen(m_key);
        painter.drawText(w, y + metrics.ascent(), m_text);
        painter.end();
        const QRgb key = m_key.rgb();
        for (int row = 0; row < m_strip.height(); ++row) {
            auto* line = reinterpret_cast<QRgb*>(m_strip.scanLine(row));
            for (int x = 0; x < m_strip.width(); ++x) {
                if (line[x] == key)
                    line[x] = qRgba(0, 0, 0, 0);
            }
        }
    }

    m_plate = QImage(w, h, QImage::Format_RGB32);
    m_plate.fill(m_fontColor.rgb());
    if (!m_plate.isNull()) {
        QPainter painter(&m_plate);
        for (int i = 0; i < m_fadeWidth; ++i) {
            painter.setPen(fadeColor(m_background, m_fontColor, i + 1, m_fadeWidth));
            painter.drawLine(i, 0, i, h - 1);
            painter.drawLine(w - 1 - i, 0, w - 1 - i, h - 1);
        }
    }
    m_offscreen = QImage(w, h, QImage::Format_RGB32);
}

void TScrollingText::step()
{
    // A hidden control hears of its new size only when shown.
    if (m_plate.size() != size())
        rebuild();
    settlePosition();
    if (isEnabled()) {
        if (m_direction == TTextDirection::tdRightToLeft) {
            m_x -= m_pixelJump;
            if (m_x <= width() - stripWidth())
                m_x = 0;
        } else {
            m_x += m_pixelJump;
            if (m_x >= 0)
                m_x = width() - stripWidth();
        }
    }
    update();
}

void TScrollingText::paintEvent(QPaintEvent*)
{
    if (m_stale || m_plate.size() != size())
        build();
    if (m_offscreen.isNull())
        return;
    settlePosition();
    {
        QPainter off(&m_offscreen);
        off.drawImage(0, 0, m_plate);
        off.drawImage(m_x, 0, m_strip);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_offscreen);
}

void TScrollingText::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    rebuild();
}

void TScrollingText::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The first show is when the owner has set everything up: start from the edge.
    if (!m_loaded) {
        m_loaded = true;
        rebuild();
        resetPosition();
    }
}

void TScrollingText::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        rebuild();
    else if (event->type() == QEvent::EnabledChange)
        update();
}
