#include "FWLinkLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>

TFWLinkLabel::TFWLinkLabel(QWidget* parent) : QLabel(parent)
{
    QFont linkFont(QStringLiteral("Arial"));
    linkFont.setPixelSize(11);
    linkFont.setBold(true);
    setFont(linkFont);
    setCursor(Qt::PointingHandCursor);
    // Plain text: an address is never read as markup.
    setTextFormat(Qt::PlainText);
    setActive(false);
}

void TFWLinkLabel::setLink(const QString& text, const QUrl& target)
{
    setText(text);
    setToolTip(text);
    m_target = target;
    adjustSize();
}

void TFWLinkLabel::setActive(bool active)
{
    m_active = active;
    QFont f = font();
    f.setUnderline(active);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, active ? Qt::blue : Qt::black);
    setPalette(p);
}

void TFWLinkLabel::enterEvent(QEnterEvent* event)
{
    setActive(true);
    QLabel::enterEvent(event);
}

void TFWLinkLabel::leaveEvent(QEvent* event)
{
    setActive(false);
    QLabel::leaveEvent(event);
}

void TFWLinkLabel::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void TFWLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && m_target.isValid())
        QDesktopServices::openUrl(m_target);
}
