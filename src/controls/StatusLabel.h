#pragma once

#include <QLabel>

// The main window's status line. Its texts come from servers and can be of
// any length: it shows them as plain text, cut with an ellipsis to the width
// the layout gives it (it never asks for more), the whole text in its tool tip
// and for assistive technology.
class TStatusLabel : public QLabel
{
    Q_OBJECT

public:
    explicit TStatusLabel(const QString& text, QWidget* parent = nullptr);

    // Hides QLabel::setText so every text also reaches the tool tip and the
    // accessible description; text() stays the whole text.
    void setText(const QString& text);
    // The text as painted: cut to the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
