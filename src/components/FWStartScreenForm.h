#pragma once

#include <QFrame>

class QLabel;
class QTimer;
class TFWShadowLabel;

// The borderless picture window shown while the program starts: the maker's
// name, the program name and version over the picture. It closes itself when
// its timer runs out or on a click anywhere, and is destroyed once closed.
class TStartScreenFormular : public QFrame
{
    Q_OBJECT

public:
    explicit TStartScreenFormular(QWidget* parent = nullptr);

    QFrame* panel() const { return m_panel; }
    QLabel* ImageHinter() const { return m_image; }
    TFWShadowLabel* LabelCompanyOben() const { return m_companyOben; }
    TFWShadowLabel* LabelCompany() const { return m_company; }
    TFWShadowLabel* LabelFWLogo1() const { return m_logo1; }
    TFWShadowLabel* LabelFWLogo2() const { return m_logo2; }
    TFWShadowLabel* LabelProgramName() const { return m_programName; }
    TFWShadowLabel* LabelVersion() const { return m_version; }
    QLabel* LabelVersionFor() const { return m_versionFor; }
    QLabel* LabelCopyright() const { return m_copyright; }
    // Runs from the show until the display time is over; a test may fire it
    // (its timeout signal) instead of waiting.
    QTimer* Timer() const { return m_timer; }

    void TimerTimer();
    void LabelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QFrame* m_panel = nullptr;
    QLabel* m_image = nullptr;
    TFWShadowLabel* m_companyOben = nullptr;
    TFWShadowLabel* m_company = nullptr;
    TFWShadowLabel* m_logo1 = nullptr;
    TFWShadowLabel* m_logo2 = nullptr;
    TFWShadowLabel* m_programName = nullptr;
    TFWShadowLabel* m_version = nullptr;
    QLabel* m_versionFor = nullptr;
    QLabel* m_copyright = nullptr;
    QTimer* m_timer = nullptr;
};
