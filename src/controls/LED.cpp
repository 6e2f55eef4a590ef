#include "LED.h"

#include <QEvent>
#include <QImage>
#include <QPainter>

using namespace Qt::StringLiterals;

// The resource lives in a static library: its initialiser has to be pulled in by hand.
static void initControlsResource()
{
    Q_INIT_RESOURCE(controls);
}

namespace {

constexpr int DisabledRow = 3;

// One picture sheet for every lamp of the program, loaded with the first lamp
// and released with the last.
int lampUsers = 0;
QImage* lampSheet = nullptr;

QImage loadSheet()
{
    initControlsResource();
    QImage sheet(u":/controls/LED_PICS.bmp"_s);
    if (sheet.isNull())
        return {};
    // The sheet's transparent colour is the colour of its bottom-left pixel.
    const QRgb key = sheet.pixel(0, sheet.height() - 1);
    QImage argb = sheet.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (line[x] == key)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return argb;
}

} // namespace

TLED::TLED(QWidget* parent) : QWidget(parent)
{
    if (lampUsers++ == 0)
        lampSheet = new QImage(loadSheet());
    setFixedSize(LampWidth, LampHeight);
}

TLED::~TLED()
{
    if (--lampUsers == 0) {
        delete lampSheet;
        lampSheet = nullptr;
    }
}

bool TLED::lampPicturesLoaded()
{
    return lampSheet != nullptr;
}

void TLED::setLit(bool lit)
{
    if (lit == m_lit)
        return;
    m_lit = lit;
    changed();
}

void TLED::setColor(TLEDColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    changed();
}

QSize TLED::sizeHint() const
{
    return {LampWidth, LampHeight};
}

void TLED::changed()
{
    repaint(lampArea());
    if (OnChangeState)
        OnChangeState(this);
}

void TLED::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        update();
        if (OnChangeState)
            OnChangeState(this);
    }
}

QColor TLED::parentColor() const
{
    const QWidget* owner = parentWidget() ? parentWidget() : this;
    return owner->palette().color(owner->backgroundRole());
}

void TLED::drawLamp(QPainter& painter, const QRect& target) const
{
    painter.fillRect(target, parentColor());
    if (!lampSheet || lampSheet->isNull())
        return;
    const int column = isEnabled() && m_lit ? 1 : 0;
    const int row = isEnabled() ? static_cast<int>(m_color) : DisabledRow;
    painter.drawImage(target, *lampSheet, QRect(column * LampWidth, row * LampHeight, LampWidth, LampHeight));
}

void TLED::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawLamp(painter, rect());
}

TLEDLabel::TLEDLabel(QWidget* parent) : TLED(parent)
{
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(97, 17);
}

void TLEDLabel::setCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    setAccessibleName(caption);
    update();
}

void TLEDLabel::setAlignment(TCaptionAlignment alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    update();
}

void TLEDLabel::setTransparent(bool transparent)
{
    if (transparent == m_transparent)
        return;
    m_transparent = transparent;
    update();
}

QSize TLEDLabel::sizeHint() const
{
    return {97, 17};
}

// Both rectangles follow the size at once, whether or not the label is shown yet.
QRect TLEDLabel::lampRect() const
{
    const int w = width();
    const int h = height();
    switch (m_alignment) {
    case TCaptionAlignment::caLeft:
        return {w - LampWidth, (h - LampHeight) / 2, LampWidth, LampHeight};
    case TCaptionAlignment::caRight:
        return {0, (h - LampHeight) / 2, LampWidth, LampHeight};
    case TCaptionAlignment::caTop:
        return {(w - LampWidth) / 2, h - LampHeight, LampWidth, LampHeight};
    case TCaptionAlignment::caBottom:
        break;
    }
    return {(w - LampWidth) / 2, 0, LampWidth, LampHeight};
}

QRect TLEDLabel::captionRect() const
{
    const int w = width();
    const int h = height();
    switch (m_alignment) {
    case TCaptionAlignment::caLeft:
        return {0, 0, w - 15, h};
    case TCaptionAlignment::caRight:
        return {15, 0, w - 15, h};
    case TCaptionAlignment::caTop:
        return {0, 0, w, h - 16};
    case TCaptionAlignment::caBottom:
        break;
    }
    return {0, 16, w, h - 16};
}

void TLEDLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), parentColor());
    drawLamp(painter, lampRect());

    int flags = Qt::TextSingleLine;
    switch (m_alignment) {
    case TCaptionAlignment::caLeft:
    case TCaptionAlignment::caRight:
        flags |= Qt::AlignLeft | Qt::AlignVCenter;
        break;
    case TCaptionAlignment::caTop:
        flags |= Qt::AlignHCenter | Qt::AlignBottom;
        break;
    case TCaptionAlignment::caBottom:
        flags |= Qt::AlignHCenter | Qt::AlignTop;
        break;
    }
    const QRect caption = captionRect();
    painter.setFont(font());
    if (isEnabled()) {
        painter.setPen(palette().color(QPalette::Active, QPalette::WindowText));
        painter.drawText(caption, flags, m_caption);
    } else {
        // Engraved: a highlight one pixel down and right, the shadow in place.
        painter.setPen(palette().color(QPalette::Active, QPalette::Light));
        painter.drawText(caption.translated(1, 1), flags, m_caption);
        painter.setPen(palette().color(QPalette::Active, QPalette::Dark));
        painter.drawText(caption, flags, m_caption);
    }
}
