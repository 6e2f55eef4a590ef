#pragma once

#include <QColor>
#include <QLabel>

// A transparent label that draws its text twice: first offset by the shadow
// depth in the shadow colour, then in place in its own colour. Depth 0 draws
// no shadow. Mouse presses pass through to the window below.
class TFWShadowLabel : public QLabel
{
    Q_OBJECT

public:
    explicit TFWShadowLabel(QWidget* parent = nullptr);

    QColor shadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor& color);
    quint8 shadowDeep() const { return m_shadowDeep; }
    void setShadowDeep(quint8 deep);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_shadowColor = Qt::black;
    quint8 m_shadowDeep = 0;
};
