#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

enum class TBlinkMode
{
    blNone = 0,
    blBlink = 1,
    blHiLo = 2
};
enum class TBlinkBorder
{
    boNone = 0,
    boSingle = 1,
    boRaised = 2,
    boLowered = 3
};

// A label that blinks or alternates between two colours. The caption is drawn in
// the widget's font(); FontColor is its colour, BackgroundColor the label's colour.
class TBlinkLabel : public QWidget
{
    Q_OBJECT
public:
    explicit TBlinkLabel(QWidget* parent = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    Qt::Alignment Alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment);
    TBlinkMode Blink() const { return m_blink; }
    void setBlink(TBlinkMode mode);
    int BlinkInterval() const { return m_timer.interval(); }
    void setBlinkInterval(int milliseconds);
    QColor HiColor() const { return m_hiColor; }
    void setHiColor(const QColor& color);
    QColor LoColor() const { return m_loColor; }
    void setLoColor(const QColor& color);
    bool Ctl3D() const { return m_ctl3D; }
    void setCtl3D(bool on);
    int Deep() const { return m_deep; }
    void setDeep(int pixels); // 1 or 2; anything else is ignored
    QColor ShadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor& color);
    TBlinkBorder Border() const { return m_border; }
    void setBorder(TBlinkBorder border);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool transparent);
    // Setting the font colour does not change the saved colour blinking returns to.
    QColor FontColor() const { return m_fontColor; }
    void setFontColor(const QColor& color);
    QColor BackgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);

    // One timer step (tests call it directly).
    void step();
    QTimer* timer() { return &m_timer; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    TBlinkMode m_blink = TBlinkMode::blNone;
    QColor m_hiColor = Qt::blue;
    QColor m_loColor = QColor(0, 0, 128);
    bool m_ctl3D = true;
    int m_deep = 1;
    QColor m_shadowColor;
    TBlinkBorder m_border = TBlinkBorder::boNone;
    bool m_transparent = false;
    QColor m_fontColor;
    QColor m_savedFontColor;
    QColor m_backgroundColor;
    QTimer m_timer;
};
