#pragma once

#include <QLabel>
#include <QUrl>

// A label that opens its target (a web page or a mail address) in the user's
// desktop programs when clicked: black while the mouse is away, blue and
// underlined while it is over the label.
class TFWLinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit TFWLinkLabel(QWidget* parent = nullptr);

    // Text, hint and target in one go.
    void setLink(const QString& text, const QUrl& target);
    QUrl target() const { return m_target; }
    bool isActive() const { return m_active; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setActive(bool active);

    QUrl m_target;
    bool m_active = false;
};
