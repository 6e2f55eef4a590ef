#pragma once

#include <QRect>
#include <QWidget>
#include <functional>

enum class TLEDColor
{
    lcRed = 0,
    lcGreen = 1,
    lcYellow = 2
};
enum class TCaptionAlignment
{
    caLeft = 0,
    caRight = 1,
    caTop = 2,
    caBottom = 3
};

// A status lamp, always 12 x 13 pixels, drawn from the shared lamp pictures.
class TLED : public QWidget
{
    Q_OBJECT
public:
    static constexpr int LampWidth = 12;
    static constexpr int LampHeight = 13;

    explicit TLED(QWidget* parent = nullptr);
    ~TLED() override;

    bool Lit() const { return m_lit; }
    void setLit(bool lit);
    TLEDColor Color() const { return m_color; }
    void setColor(TLEDColor color);

    // Fired after Lit or Color changed and when the control is enabled or disabled.
    std::function<void(QObject* sender)> OnChangeState;

    QSize sizeHint() const override;

    // True while at least one lamp exists: the pictures are shared and loaded once.
    static bool lampPicturesLoaded();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void drawLamp(QPainter& painter, const QRect& target) const;
    // Where the lamp stands inside the control.
    virtual QRect lampArea() const { return rect(); }
    // The colour transparent parts take: the background of the widget the lamp sits on.
    QColor parentColor() const;
    void changed();

private:
    bool m_lit = false;
    TLEDColor m_color = TLEDColor::lcRed;
};

// A lamp with a caption beside, above or below it.
class TLEDLabel : public TLED
{
    Q_OBJECT
public:
    explicit TLEDLabel(QWidget* parent = nullptr);

    // The caption is drawn in the widget's font() (inherited from the parent unless set).
    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    TCaptionAlignment Alignment() const { return m_alignment; }
    void setAlignment(TCaptionAlignment alignment);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool transparent);

    // The rectangles of lamp and caption for the current size and alignment.
    QRect lampRect() const;
    QRect captionRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    QRect lampArea() const override { return lampRect(); }

private:
    QString m_caption;
    TCaptionAlignment m_alignment = TCaptionAlignment::caRight;
    bool m_transparent = false;
};
