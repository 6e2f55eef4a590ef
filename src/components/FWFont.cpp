#include "FWFont.h"

#include <QPalette>
#include <QWidget>

namespace {

TFWFont make(const QString& family, bool bold, bool italic, const QColor& color)
{
    TFWFont result;
    result.font = QFont(family);
    result.font.setBold(bold);
    result.font.setItalic(italic);
    result.color = color;
    return result;
}

} // namespace

TFWFont TFWFont::points(const QString& family, int points, bool bold, bool italic, const QColor& color)
{
    TFWFont result = make(family, bold, italic, color);
    result.font.setPointSize(points);
    return result;
}

TFWFont TFWFont::pixels(const QString& family, int pixels, bool bold, bool italic, const QColor& color)
{
    TFWFont result = make(family, bold, italic, color);
    result.font.setPixelSize(pixels);
    return result;
}

void TFWFont::applyTo(QWidget* widget) const
{
    widget->setFont(font);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}
