#pragma once

#include <QColor>
#include <QFont>
#include <QMetaType>
#include <QString>

class QWidget;

// A font as the family's components publish it: face, size and style
// together with the text colour, which Qt keeps apart in the palette.
struct TFWFont
{
    QFont font;
    QColor color = Qt::black;

    static TFWFont points(const QString& family, int points, bool bold, bool italic, const QColor& color);
    static TFWFont pixels(const QString& family, int pixels, bool bold, bool italic, const QColor& color);

    // Gives the widget this face and text colour.
    void applyTo(QWidget* widget) const;

    friend bool operator==(const TFWFont& a, const TFWFont& b) { return a.font == b.font && a.color == b.color; }
};

Q_DECLARE_METATYPE(TFWFont)
