#pragma once

#include <QPlainTextEdit>
#include <QWidget>

// The log of the current run: one line for every connection failure. Held in
// memory only; closing the window just hides it.
class TBerichtForm : public QWidget
{
    Q_OBJECT
public:
    explicit TBerichtForm(QWidget* parent = nullptr);

    void addLine(const QString& line);
    QStringList lines() const;

    QPlainTextEdit* Bericht = nullptr;
};
