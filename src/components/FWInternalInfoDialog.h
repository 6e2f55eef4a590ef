#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QScrollArea;
class QWidget;

// The modal "Internal Infos" window: one block per component record found in
// the settings store, the record's class name on the left and its values
// (name, then text indented below it) on the right.
class TFWInternalInfoDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TFWInternalInfoDialog(QWidget* parent = nullptr);

    QLabel* Label1() const { return m_label1; }
    QScrollArea* ScrollBox() const { return m_scrollBox; }
    // The scrolled surface that holds the headings and the record labels.
    QWidget* content() const { return m_content; }
    QLabel* Label2() const { return m_label2; }
    QLabel* Label3() const { return m_label3; }
    QPushButton* ButtonOK() const { return m_buttonOK; }

    // Lists the records below the key (a key of the settings store, e.g.
    // "Software\Fernwick\FW-Postrella\CI"), subkeys sorted by name without
    // case. An empty or missing key adds nothing.
    void AssembleDisplay(const QString& key);

private:
    QLabel* addLabel(const QString& text, int left, int top, const QColor& color);

    QLabel* m_label1 = nullptr;
    QScrollArea* m_scrollBox = nullptr;
    QWidget* m_content = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_label3 = nullptr;
    QPushButton* m_buttonOK = nullptr;
};
