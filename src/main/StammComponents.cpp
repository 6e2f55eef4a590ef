// The non-visual components of the main window and their fixed settings.
#include "FWFont.h"
#include "FWInfoScreenUnit.h"
#include "FWInternalInfoUnit.h"
#include "FWLanguageUnit.h"
#include "FWOnlineHelpUnit.h"
#include "FWPasswordUnit.h"
#include "FWProgramLinksUnit.h"
#include "FWStartScreenForm.h"
#include "FWStartScreenUnit.h"
#include "MessageList.h"
#include "ModelGrid.h"
#include "Pop3Client.h"
#include "StammUn.h"

using namespace Qt::StringLiterals;

namespace {

template <typename T> T* component(QObject* owner, const QString& name)
{
    auto* c = new T(owner);
    c->setObjectName(name);
    return c;
}

} // namespace

void TStammForm::createComponents()
{
    Pop3Client1 = component<TPop3Client>(this, u"Pop3Client1"_s);
    Pop3Client1->Port = 110;
    Pop3Client1->TimeOut = Variabel::TimeOut;
    Pop3Client1->ReportLevel = 4;
    Pop3Client1->Parse = false;
    Pop3Client1->DeleteOnRead = false;
    m_messages = new MessageList(this);
    m_messages->setObjectName(u"Messages"_s);
    Tabelle->setModel(m_messages);
    // Messages that arrived since the last check stand out.
    Tabelle->setEmphasisRole(MessageList::FreshRole);
    m_engine = new CheckEngine(*Pop3Client1, *m_messages, this);
    m_engine->setObjectName(u"CheckEngine"_s);

    FWPassword1 = component<TFWPassword>(this, u"FWPassword1"_s);
    FWPassword1->setLanguage(FWLanguage1);
    FWPassword1->setLanguageCodeLetter(u"E"_s);
    FWPassword1->setMode(ModeMenge::Put);
    FWPassword1->setUser(false);

    FWOnlineHelp1 = component<TFWOnlineHelp>(this, u"FWOnlineHelp1"_s);
    FWOnlineHelp1->setLanguage(FWLanguage1);
    FWOnlineHelp1->setLanguageCodeLetter(u"E"_s);

    FWProgramLinks1 = component<TFWProgramLinks>(this, u"FWProgramLinks1"_s);

    const QColor grey(128, 128, 128);
    const QColor purple(128, 0, 128);
    FWStartScreenA1 = component<TFWStartScreenA>(this, u"FWStartScreenA1"_s);
    FWStartScreenA1->setCompanyNameShort(u"FW"_s);
    FWStartScreenA1->setDisplayTime(5000);
    FWStartScreenA1->setShowLogo(false);
    FWStartScreenA1->setShowCompanyNameShort(true);
    FWStartScreenA1->setShowVersion(true);
    FWStartScreenA1->setShowYear(true);
    FWStartScreenA1->setTextVersionFor(QString());
    FWStartScreenA1->setLanguage(FWLanguage1);
    FWStartScreenA1->setLanguageCodeLetter(u"E"_s);
    FWStartScreenA1->setCompanyNameLongFont(TFWFont::pixels(u"Arial"_s, 21, true, false, Qt::white));
    FWStartScreenA1->setCompanyNameLongShadowColor(Qt::black);
    FWStartScreenA1->setCompanyNameLongShadowDeep(2);
    FWStartScreenA1->setCompanyNameLongObenFont(TFWFont::pixels(u"Arial"_s, 15, true, true, Qt::white));
    FWStartScreenA1->setCompanyNameLongObenShadowColor(Qt::black);
    FWStartScreenA1->setCompanyNameLongObenShadowDeep(1);
    FWStartScreenA1->setLogoFont(TFWFont::pixels(u"Times New Roman"_s, 48, true, false, grey));
    FWStartScreenA1->setLogoShadowColor(Qt::black);
    FWStartScreenA1->setLogoShadowDeep(2);
    FWStartScreenA1->setOtherFont(TFWFont::pixels(u"Arial"_s, 11, true, false, Qt::white));
    FWStartScreenA1->setProgramNameFont(TFWFont::pixels(u"Times New Roman"_s, 40, true, true, Qt::red));
    FWStartScreenA1->setProgramNameShadowColor(Qt::black);
    FWStartScreenA1->setProgramNameShadowDeep(2);
    FWStartScreenA1->setVersionFont(TFWFont::pixels(u"Arial"_s, 19, true, false, Qt::white));
    FWStartScreenA1->setVersionShadowColor(Qt::black);
    FWStartScreenA1->setVersionShadowDeep(2);

    FWInternalInfo1 = component<TFWInternalInfo>(this, u"FWInternalInfo1"_s);
    FWInternalInfo1->setLanguage(FWLanguage1);
    FWInternalInfo1->setLanguageCodeLetter(u"E"_s);

    FWInfoScreenA1 = component<TFWInfoScreenA>(this, u"FWInfoScreenA1"_s);
    FWInfoScreenA1->setCompanyNameShort(u"FW"_s);
    FWInfoScreenA1->setFWInternalInfo(FWInternalInfo1);
    FWInfoScreenA1->setLanguage(FWLanguage1);
    FWInfoScreenA1->setLanguageCodeLetter(u"E"_s);
    for (auto set :
         {&TFWInfoScreenA::setShowCompanyNameShort, &TFWInfoScreenA::setShowLogo, &TFWInfoScreenA::setShowMail,
          &TFWInfoScreenA::setShowURL, &TFWInfoScreenA::setShowVersion, &TFWInfoScreenA::setShowYear})
        (FWInfoScreenA1->*set)(true);
    FWInfoScreenA1->setLogoFont(TFWFont::pixels(u"Times New Roman"_s, 48, true, false, grey));
    FWInfoScreenA1->setLogoShadowColor(Qt::black);
    FWInfoScreenA1->setLogoShadowDeep(2);
    FWInfoScreenA1->setProgramNameFont(TFWFont::pixels(u"Times New Roman"_s, 37, true, true, purple));
    FWInfoScreenA1->setProgramNameShadowColor(Qt::black);
    FWInfoScreenA1->setProgramNameShadowDeep(1);
    FWInfoScreenA1->setVersionFont(TFWFont::pixels(u"Arial"_s, 13, true, false, Qt::black));
}
