#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QWidget;

// The small modal window of the password prompt: a query panel (user name and
// password) and an entry panel (new password typed twice), one in front.
class TFWPasswordDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TFWPasswordDialog(QWidget* parent = nullptr);

    // Brings the query panel (PAbfrage) or the entry panel (PEingabe) to the front.
    void showQueryPanel();
    void showEntryPanel();
    bool isEntryPanelShown() const;

    // Escape and closing the window act like the cancel button of the panel in front.
    void reject() override;

    QStackedWidget* panels() const { return m_panels; }
    QWidget* PAbfrage() const { return m_query; }
    QWidget* PEingabe() const { return m_entry; }
    QLabel* name1() const { return m_name1; }
    QLineEdit* name2() const { return m_name2; }
    QLabel* password1() const { return m_password1; }
    QLineEdit* Get1() const { return m_get1; }
    QPushButton* PwButton2() const { return m_button2; }
    QPushButton* PwButton1() const { return m_button1; }
    QLabel* Lretype() const { return m_retype; }
    QLineEdit* Set1() const { return m_set1; }
    QLineEdit* Set2() const { return m_set2; }
    QPushButton* PwButton4() const { return m_button4; }
    QPushButton* PwButton3() const { return m_button3; }

private:
    void PwButton1Click();
    void PwButton3Click();
    void PwButton4Click();

    QStackedWidget* m_panels = nullptr;
    QWidget* m_query = nullptr;
    QWidget* m_entry = nullptr;
    QLabel* m_name1 = nullptr;
    QLineEdit* m_name2 = nullptr;
    QLabel* m_password1 = nullptr;
    QLineEdit* m_get1 = nullptr;
    QPushButton* m_button2 = nullptr;
    QPushButton* m_button1 = nullptr;
    QLabel* m_retype = nullptr;
    QLineEdit* m_set1 = nullptr;
    QLineEdit* m_set2 = nullptr;
    QPushButton* m_button4 = nullptr;
    QPushButton* m_button3 = nullptr;
};
