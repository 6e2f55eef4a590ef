// The check command: log on, list and screen every waiting message, delete
// the condemned ones at once, and the handlers of the POP3 client's events.
#include "AnsiText.h"
#include "BackgroundCheck.h"
#include "BerichtUn.h"
#include "BlinkLabel.h"
#include "Dialogs.h"
#include "Exception.h"
#include "FWPasswordUnit.h"
#include "LED.h"
#include "MessageList.h"
#include "ModelGrid.h"
#include "PasswordKeeper.h"
#include "Pop3Client.h"
#include "ProgramFolder.h"
#include "ScrollingText.h"
#include "StammColors.h"
#include "StammUn.h"
#include "StatusLabel.h"
#include "UiLanguage.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// About the display rate: more frames would only cost time nobody sees.
constexpr int kFrameMs = 16;

} // namespace

void TStammForm::setStatusText(quint16 textNumber, bool navy)
{
    Schrift->setFontColor(navy ? StammColors::Navy : StammColors::Green);
    Schrift->setText(GetText(textNumber));
}

void TStammForm::log(const QString& line)
{
    if (m_bericht)
        m_bericht->addLine(line);
    else if (m_createWindows)
        m_earlyLog.append(line);
}

void TStammForm::SBCheckClick()
{
    // A second check inside the first would take over its connection in
    // mid-listing.
    if (!commandsAvailable())
        return;
    // The scheduled check is quick and ends with QUIT; the user's check follows
    // it rather than being refused by the mailbox's lock.
    if (m_background && m_background->Running()) {
        m_checkAfterBackground = true;
        LStatus->setText(byLanguage(u"Status: Automatische Prüfung läuft, Ihre Prüfung folgt."_s,
                                    u"Status: A scheduled check is running; yours follows."_s));
        return;
    }
    m_disconnectAsked = false;
    setStatusText(23, true);
    if (Pop3Client1->Connected()) {
        const CommandLock lock(*this);
        quitServer(true);
        if (Pop3Client1->Connected())
            return;
    }
    Einrichten();

    const QString chosen = Konten->currentText();
    if (chosen.isEmpty()) {
        Dialogs::message(Dialogs::Kind::Error, byLanguage(u"Sie haben kein eMail-Konto ausgwählt, bzw\r"_s,
                                                          u"You have not chosen a mail account, or\r"_s) +
                                                   byLanguage(u"müssen Sie erst ein eMail-Konto zuweisen\r"_s,
                                                              u"you must set up a mail account first.\r"_s) +
                                                   byLanguage(u"Dies können Sie unter \"Einstellungen\" vornehmen."_s,
                                                              u"You can do this under \"Settings\"."_s));
        return;
    }
    m_passwordToKeep = {};
    m_checkSlot = 0;
    Account account;
    for (int n = 1; n <= Variabel::SlotCount; ++n) {
        if (V.Konto[n] != chosen)
            continue;
        m_checkSlot = n;
        if (!Variabel::knownSecurity(V.Sicherheit[n]))
            log(byLanguage(u"Unbekannte Sicherheit \""_s, u"Unknown security \""_s) + V.Sicherheit[n] +
                byLanguage(u"\" für das Konto "_s, u"\" for the account "_s) + chosen +
                byLanguage(u", es wird SSL/TLS verwendet."_s, u"; SSL/TLS is used."_s));
        if (V.usesOAuth2(n)) {
            // The check gets its token itself; no password is asked for.
            V.Passwort_Neu = false;
            account = Account::fromSlot(V, n);
            continue;
        }
        m_passwords->fetch(n);
        const QString knownPassword = V.Passwort[n];
        const QString knownAccount = PasswordKeeper::accountName(V, n);
        if (V.UserID[n].isEmpty() || V.Passwort[n].isEmpty())
            Eingabe(n);
        if (V.Passwort_Neu)
            Eingabe(n);
        V.Passwort_Neu = false;
        account = Account::fromSlot(V, n);
        // A typed password is kept once the server has taken it, so a typing
        // error never replaces a good one in the store.
        if (V.Passwort[n] != knownPassword || PasswordKeeper::accountName(V, n) != knownAccount)
            m_passwordToKeep = {n, knownAccount};
    }
    m_engine->start(account, CheckEngine::ListFiles::standard(),
                    {V.Loeschen_Absender, V.Loeschen_Betreff, V.Loeschen_Betreff_Eigen}, CheckEngine::Asker::User);
    updateCommands();
}

void TStammForm::Eingabe(int slot)
{
    FWPassword1->setUserName(V.UserID[slot]);
    FWPassword1->setPassword(V.Passwort[slot]);
    FWPassword1->Execute();
    V.UserID[slot] = FWPassword1->UserName();
    V.Passwort[slot] = FWPassword1->Password();
}

void TStammForm::Disconnect1Click()
{
    disconnectClient(true);
}

void TStammForm::Pop3Client1Connect()
{
    LEDOnline->setLit(true);
    if (m_passwordToKeep.slot > 0)
        m_passwords->keep(m_passwordToKeep.slot, m_passwordToKeep.previousAccount);
    m_passwordToKeep = {};
    showConnectionSecurity();
    Anzahl_Mails = Pop3Client1->MessageCount();
    if (Anzahl_Mails <= 0)
        return;
    Zeile = 0;
    LAnzahl->setText(QString::number(Anzahl_Mails));
    LEDCheck->setLit(true);
    setStatusText(21, true);
    m_listing = true;
    m_listingStatus = LStatus->text();
    Tabelle->setUpdatesEnabled(false);
    layOutPanels();
    PWarten->show();
    PWarten->raise();
}

void TStammForm::endListing()
{
    if (!m_listing)
        return;
    m_listing = false;
    showListingProgress(true);
    LStatus->setText(m_listingStatus);
    Tabelle->setUpdatesEnabled(true);
    PWarten->hide();
}

void TStammForm::checkFinished(const CheckEngine::Outcome& outcome)
{
    endListing();
    updateCommands();
    if (outcome.ok) {
        LEDCheck->setLit(false);
        setStatusText(22, false);
        if (outcome.messages <= 0) {
            Dialogs::message(Dialogs::Kind::Information, GetText(43));
        } else {
            V.Anzahl_Absender = outcome.deletedAbsender;
            V.Anzahl_Betreff = outcome.deletedBetreff;
            V.Anzahl_Betreff_Eigen = outcome.deletedBetreffEigen;
            reportScreening();
        }
    } else if (!m_disconnectAsked && !m_closing) {
        checkFailed(outcome);
    }
}

void TStammForm::reportScreening()
{
    const struct
    {
        bool on;
        qint32 count;
        quint16 text;
    } reports[] = {
        {V.Loeschen_Betreff, V.Anzahl_Betreff, 36},
        {V.Loeschen_Betreff_Eigen, V.Anzahl_Betreff_Eigen, 37},
        {V.Loeschen_Absender, V.Anzahl_Absender, 38},
    };
    for (const auto& report : reports) {
        if (report.on && report.count > 0) {
            V.Meldung = QString::number(report.count) + GetText(35) + u'\r' + GetText(report.text);
            Dialogs::message(Dialogs::Kind::Information, V.Meldung);
        }
    }
}

void TStammForm::checkFailed(const CheckEngine::Outcome& outcome)
{
    if (outcome.failure == CheckEngine::Failure::Authorization) {
        // Nothing reached the server: the reason itself is the whole story.
        log(u"Error: "_s + outcome.error);
        Dialogs::message(Dialogs::Kind::Error, outcome.error);
        return;
    }
    if (outcome.failure == CheckEngine::Failure::InvalidHost) {
        bool retry = false;
        Pop3Client1InvalidHost(retry);
    } else if (outcome.failure == CheckEngine::Failure::ConnectionFailed) {
        Pop3Client1ConnectionFailed();
    }
    log(u"Error: "_s + outcome.error);
    if (outcome.error == byLanguage(u"Null Externe Adresse"_s, u"Null external address"_s))
        log(byLanguage(u"Es konnte kein Kontakt zum Internet hergestellt werden."_s,
                       u"No contact to the Internet could be made."_s));
    Dialogs::message(Dialogs::Kind::Error,
                     byLanguage(u"Fehler - Nähere Informationen im Protokoll"_s, u"Error - details in the log"_s));
}

void TStammForm::Pop3Client1Disconnect()
{
    connectionEnded();
    LEDOnline->setLit(false);
    LAnzahl->setText(u"0"_s);
    showConnectionSecurity();
}

void TStammForm::showConnectionSecurity()
{
    if (!Pop3Client1->Connected()) {
        LSicherheit->clear();
        LSicherheit->setToolTip({});
        LSicherheit->setAccessibleName(byLanguage(u"Keine Verbindung"_s, u"Not connected"_s));
        return;
    }
    if (!Pop3Client1->Encrypted()) {
        LSicherheit->setText(byLanguage(u"unverschlüsselt"_s, u"unencrypted"_s));
        LSicherheit->setToolTip(
            byLanguage(u"Die Verbindung ist nicht verschlüsselt."_s, u"The connection is not encrypted."_s));
        LSicherheit->setAccessibleName(byLanguage(u"Verbindung unverschlüsselt"_s, u"Connection unencrypted"_s));
        return;
    }
    const QString how = Pop3Client1->EncryptionText();
    LSicherheit->setText(byLanguage(u"verschlüsselt ("_s, u"encrypted ("_s) + how.section(u',', 0, 0) + u")"_s);
    LSicherheit->setToolTip(byLanguage(u"Verschlüsselt: "_s, u"Encrypted: "_s) + how);
    LSicherheit->setAccessibleName(byLanguage(u"Verbindung verschlüsselt: "_s, u"Connection encrypted: "_s) + how);
}

void TStammForm::Pop3Client1CertificateUntrusted(const TCertificateInfo& info, bool& Accept)
{
    const QString host = Pop3Client1->Host;
    const auto date = [](const QDateTime& when) {
        return UiLanguage::isGerman() ? when.toLocalTime().toString(u"dd.MM.yyyy hh:mm"_s)
                                      : QLocale().toString(when.toLocalTime(), QLocale::ShortFormat);
    };
    QString fingerprint;
    for (qsizetype i = 0; i < info.Fingerprint.size(); i += 2)
        fingerprint += (i > 0 ? u":"_s : QString()) + info.Fingerprint.mid(i, 2);
    QString why = byLanguage(u"Das Zertifikat des Servers "_s, u"The certificate of the server "_s) + host +
                  byLanguage(u" konnte nicht überprüft werden.\r"_s, u" could not be verified.\r"_s);
    if (info.Changed)
        why = byLanguage(u"Das Zertifikat des Servers "_s, u"The certificate of the server "_s) + host +
              byLanguage(u" hat sich geändert!\r"_s, u" has changed!\r"_s) +
              byLanguage(u"Es ist nicht das Zertifikat, dem Sie für dieses Konto vertraut haben.\r"_s,
                         u"It is not the certificate you trusted for this account.\r"_s);
    else if (!info.NewReasons.isEmpty())
        why = byLanguage(u"Das Zertifikat des Servers "_s, u"The certificate of the server "_s) + host +
              byLanguage(u", dem Sie vertraut haben, zeigt einen neuen Fehler:\r"_s,
                         u", which you trusted, shows a new fault:\r"_s) +
              info.NewReasons.join(u'\r') + byLanguage(u"\r\rAlle Gründe:\r"_s, u"\r\rAll reasons:\r"_s);
    const QString text =
        why + info.Reasons.join(u'\r') + byLanguage(u"\r\rInhaber: "_s, u"\r\rHolder: "_s) + info.Subject +
        byLanguage(u"\rAussteller: "_s, u"\rIssuer: "_s) + info.Issuer +
        byLanguage(u"\rGültig von "_s, u"\rValid from "_s) + date(info.ValidFrom) +
        byLanguage(u" bis "_s, u" until "_s) + date(info.ValidUntil) + u"\rSHA-256: "_s + fingerprint +
        byLanguage(u"\r\rVertrauen Sie diesem Zertifikat nur, wenn Sie sicher sind, dass es zu Ihrem "_s,
                   u"\r\rTrust this certificate only if you are sure that it belongs to your "_s) +
        byLanguage(u"Anbieter gehört."_s, u"provider."_s);
    Accept = Dialogs::message(Dialogs::Kind::Confirmation, text, Dialogs::Trust | Dialogs::Cancel) == Dialogs::Trust;
    if (!Accept) {
        log(byLanguage(u"Dem Zertifikat von "_s, u"The certificate of "_s) + host +
            byLanguage(u" wurde nicht vertraut (SHA-256 "_s, u" was not trusted (SHA-256 "_s) + info.Fingerprint +
            byLanguage(u"), die Anmeldung wurde abgebrochen."_s, u"); the log-on was cancelled."_s));
        return;
    }
    const TCertificateTrust trust{info.Fingerprint, info.Server, info.Errors};
    if (m_checkSlot > 0)
        V.trustCertificate(m_checkSlot, trust);
    Pop3Client1->Trusted = trust;
    log(byLanguage(u"Dem Zertifikat von "_s, u"The certificate of "_s) + host +
        byLanguage(u" wird vertraut (SHA-256 "_s, u" is trusted (SHA-256 "_s) + info.Fingerprint + u")."_s);
}

void TStammForm::Pop3Client1Status(const QString& status)
{
    // A listing shows its progress instead; the last status follows at its end.
    if (m_listing) {
        m_listingStatus = u"Status: "_s + status;
        return;
    }
    LStatus->setText(u"Status: "_s + status);
}

void TStammForm::showListingProgress(bool force)
{
    if (!force && m_lastFrame.isValid() && m_lastFrame.elapsed() < kFrameMs)
        return;
    m_lastFrame.start();
    const int listed = qMin(Zeile, Anzahl_Mails);
    LStatus->setText(u"Status: "_s + QString::number(listed) + byLanguage(u" von "_s, u" of "_s) +
                     QString::number(Anzahl_Mails));
    Tabelle->setUpdatesEnabled(true);
    Tabelle->repaint();
    Tabelle->setUpdatesEnabled(false);
}

void TStammForm::Pop3Client1RetrieveStart()
{
    layOutPanels();
    PWarten->show();
    PWarten->raise();
}

void TStammForm::Pop3Client1RetrieveEnd(int number, const Screening::Result& result)
{
    Zeile = number;
    if (result.litAbsender)
        LEDAbsender->setLit(true);
    if (result.litBetreff)
        LEDBetreff->setLit(true);
    if (result.litMessages)
        LEDMessages->setLit(true);
    showListingProgress(false);
}

void TStammForm::Pop3Client1AuthenticationFailed(bool& Handled)
{
    Dialogs::message(Dialogs::Kind::Error, GetText(106));
    V.Passwort_Neu = true;
    Handled = false;
}

void TStammForm::Pop3Client1ConnectionFailed()
{
    // A connection the user gave up on has not failed.
    if (m_disconnectAsked)
        return;
    Dialogs::message(Dialogs::Kind::Error, GetText(107) + u'\r' + GetText(108));
    log(u"Error: "_s + QString::number(Pop3Client1->LastError()));
}

void TStammForm::Pop3Client1InvalidHost(bool& Handled)
{
    Handled = false;
    V.Meldung = GetText(109) + u'\r' + GetText(108);
    Dialogs::message(Dialogs::Kind::Error, V.Meldung);
    log(u"Error: "_s + QString::number(Pop3Client1->LastError()));
}

void TStammForm::Pop3Client1Failure()
{
    // The server's refusal says why; without a reply the connection broke or
    // the server closed it.
    const QString reply = AnsiText::fromAnsi(Pop3Client1->LastReply()).trimmed();
    if (!reply.isEmpty())
        log(u"Error: "_s + reply);
    else if (Pop3Client1->LastError() != 0)
        log(u"Error: "_s + QString::number(Pop3Client1->LastError()));
    else
        log(byLanguage(u"Error: Die Verbindung wurde vom Server geschlossen"_s,
                       u"Error: The server closed the connection"_s));
}
