#pragma once

#include <QColor>
#include <QStringList>
#include <QWidget>

// A heading drawn over a horizontal colour gradient; holds lines of text.
class TGradientText : public QWidget
{
    Q_OBJECT
public:
    explicit TGradientText(QWidget* parent = nullptr);

    QStringList Lines() const { return m_lines; }
    void setLines(const QStringList& lines);
    void setColors(const QColor& begin, const QColor& end);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList m_lines;
    QColor m_begin = QColor(0, 0, 128);
    QColor m_end = QColor(255, 220, 193);
};

// A panel filled with a colour gradient, top to bottom or left to right.
class TGradientPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TGradientPanel(QWidget* parent = nullptr);
    void setColors(const QColor& begin, const QColor& end, Qt::Orientation orientation);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_begin = QColor(0, 0, 128);
    QColor m_end = QColor(255, 220, 193);
    Qt::Orientation m_orientation = Qt::Vertical;
};
