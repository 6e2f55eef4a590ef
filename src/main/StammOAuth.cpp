// The notice that the check waits for the OAuth2 log-on in the browser.
#include "CommandGuard.h"
#include "StammUn.h"
#include "StatusLabel.h"
#include "UiLanguage.h"
#include "WidgetSetup.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString kPanelName()
{
    return byLanguage(u"Anmeldung im Browser"_s, u"Log-on in the browser"_s);
}
QString kWaitingText()
{
    return byLanguage(
        u"Bitte melden Sie sich im Browser bei Ihrem Anbieter an. Postrella wartet auf die "
        u"Anmeldung und prüft das Postfach danach."_s,
        u"Please log on to your provider in the browser. Postrella waits for the log-on and then checks the mailbox."_s);
}
QString kCancelText()
{
    return byLanguage(u"Abbrechen"_s, u"Cancel"_s);
}
QString kCancelName()
{
    return byLanguage(u"Anmeldung im Browser abbrechen"_s, u"Cancel the log-on in the browser"_s);
}
QString kStatusText()
{
    return byLanguage(u"Status: Warte auf die Anmeldung im Browser"_s,
                      u"Status: Waiting for the log-on in the browser"_s);
}

} // namespace

void TStammForm::buildBrowserPanel(QWidget* parent)
{
    PBrowser = named(new QFrame(parent), u"PBrowser"_s, kPanelName());
    PBrowser->setFrameShape(QFrame::Panel);
    PBrowser->setFrameShadow(QFrame::Raised);
    PBrowser->setAutoFillBackground(true);
    PBrowser->resize(330, 110);
    auto* rows = new QVBoxLayout(PBrowser);
    LBrowser = named(new QLabel(kWaitingText(), PBrowser), u"LBrowser"_s, kWaitingText());
    LBrowser->setWordWrap(true);
    SBBrowserAbbrechen = named(new QPushButton(kCancelText(), PBrowser), u"SBBrowserAbbrechen"_s, kCancelName());
    rows->addWidget(LBrowser);
    rows->addWidget(SBBrowserAbbrechen, 0, Qt::AlignHCenter);
    CommandGuard::connect(SBBrowserAbbrechen, &QPushButton::clicked, this, [this] { m_engine->cancelAuthorization(); });
    PBrowser->hide();
}

void TStammForm::browserWaiting(bool waiting)
{
    PBrowser->setVisible(waiting);
    if (waiting) {
        layOutPanels();
        PBrowser->raise();
        LStatus->setText(kStatusText());
    }
}
