#include "StatusLabel.h"

#include "WidgetSetup.h"

#include <QPainter>
#include <QStyle>

TStatusLabel::TStatusLabel(const QString& text, QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setText(text);
}

void TStatusLabel::setText(const QString& text)
{
    QLabel::setText(text);
    setToolTip(plainToolTip(text));
    setAccessibleDescription(text);
}

QString TStatusLabel::shownText() const
{
    // One line: a line break from a server would otherwise be drawn as a box.
    QString line = text();
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    return fontMetrics().elidedText(line, Qt::ElideRight, contentsRect().width());
}

QSize TStatusLabel::sizeHint() const
{
    return {0, QLabel::sizeHint().height()};
}

QSize TStatusLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

void TStatusLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), shownText(), foregroundRole());
}
