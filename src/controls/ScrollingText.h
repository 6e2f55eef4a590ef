#pragma once

#include <QColor>
#include <QImage>
#include <QTimer>
#include <QWidget>

enum class TTextDirection
{
    tdLeftToRight = 0,
    tdRightToLeft = 1
};
enum class TTextLayout
{
    tlTop = 0,
    tlCenter = 1,
    tlBottom = 2
};

// A text that runs through the control, fading into the background at both edges.
// The text is drawn in the widget's font(); FontColor is its colour.
class TScrollingText : public QWidget
{
    Q_OBJECT
public:
    explicit TScrollingText(QWidget* parent = nullptr);

    QString Text() const { return m_text; }
    void setText(const QString& text);
    int Speed() const { return m_speed; }
    void setSpeed(int milliseconds);
    int PixelJump() const { return m_pixelJump; }
    void setPixelJump(int pixels);
    TTextDirection TextDirection() const { return m_direction; }
    void setTextDirection(TTextDirection direction);
    TTextLayout Layout() const { return m_layout; }
    void setLayout(TTextLayout layout);
    QColor BackgroundColor() const { return m_background; }
    void setBackgroundColor(const QColor& color);
    int EdgeFadeWidth() const { return m_fadeWidth; }
    void setEdgeFadeWidth(int pixels);
    QColor FontColor() const { return m_fontColor; }
    void setFontColor(const QColor& color);

    // Colour number k (1..n) of the fade from a to b in n steps; throws
    // ERangeError for k outside 1..n. A fade of one step is b itself.
    static QColor fadeColor(const QColor& a, const QColor& b, int k, int n);

    int position() const;
    // Width of the text strip: the text with one control width of room on either side.
    int stripWidth() const;
    // The colour the text is drawn in on the strip, transparent when painted.
    QColor keyColor() const { return m_key; }
    // One timer step: moves the text by PixelJump while enabled (tests call it directly).
    void step();
    QTimer* timer() { return &m_timer; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QFont stripFont() const;
    // Marks the strip and plate for drawing at the next paint.
    void rebuild();
    // Draws them for the current size, text and colours.
    void build();
    // Puts the text back at its starting edge: worked out when next needed,
    // so that it is measured in the font the owner has set by then.
    void resetPosition();
    void settlePosition() const;

    QString m_text = QStringLiteral("Text");
    int m_speed = 20;
    int m_pixelJump = 1;
    TTextDirection m_direction = TTextDirection::tdLeftToRight;
    TTextLayout m_layout = TTextLayout::tlCenter;
    QColor m_background = Qt::black;
    int m_fadeWidth = 10;
    QColor m_fontColor = Qt::white;
    QColor m_key;
    mutable int m_x = 0;
    mutable bool m_positionStale = true;
    bool m_loaded = false;
    bool m_stale = true;
    QImage m_strip;     // background with the text in the key colour, the key made transparent
    QImage m_plate;     // font colour, fading into the background at both edges
    QImage m_offscreen; // plate with the strip over it, copied to the screen in one go
    QTimer m_timer;
};
