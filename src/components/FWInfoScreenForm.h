#pragma once

#include "FWInternalInfoUnit.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;
class TFWLinkLabel;
class TFWShadowLabel;

// The modal "Infos" window: program name, version and notice line over a
// picture, links to the maker's web site and support address, and the
// Internal button that leads to the list of the program's components.
class TInfoScreenFormular : public QDialog
{
    Q_OBJECT

public:
    explicit TInfoScreenFormular(QWidget* parent = nullptr);

    TFWShadowLabel* LabelProgramName() const { return m_programName; }
    QLabel* LabelVersion() const { return m_version; }
    QLabel* LabelCopyright() const { return m_copyright; }
    TFWShadowLabel* LabelFWLogo1() const { return m_logo1; }
    TFWShadowLabel* LabelFWLogo2() const { return m_logo2; }
    QLabel* LabelURLBez() const { return m_urlBez; }
    TFWLinkLabel* URLLabelWeb() const { return m_urlWeb; }
    QLabel* LabelMailBez() const { return m_mailBez; }
    TFWLinkLabel* URLLabelMail() const { return m_urlMail; }
    QPushButton* ButtonOK() const { return m_buttonOK; }
    QPushButton* ButtonInternal() const { return m_buttonInternal; }

    TFWInternalInfo* internalInfo() const { return m_internalInfo.data(); }
    void setInternalInfo(TFWInternalInfo* info) { m_internalInfo = info; }

    void ButtonInternalClick();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<TFWInternalInfo> m_internalInfo;
    TFWShadowLabel* m_programName = nullptr;
    QLabel* m_version = nullptr;
    QLabel* m_copyright = nullptr;
    TFWShadowLabel* m_logo1 = nullptr;
    TFWShadowLabel* m_logo2 = nullptr;
    QLabel* m_urlBez = nullptr;
    TFWLinkLabel* m_urlWeb = nullptr;
    QLabel* m_mailBez = nullptr;
    TFWLinkLabel* m_urlMail = nullptr;
    QPushButton* m_buttonOK = nullptr;
    QPushButton* m_buttonInternal = nullptr;
};
