// Working on the listed messages: delete one, take back all deletions,
// examine one or all.
#include "AnsiText.h"
#include "Dialogs.h"
#include "ExamineUn.h"
#include "HeaderText.h"
#include "LED.h"
#include "MessageList.h"
#include "ModelGrid.h"
#include "Pop3Client.h"
#include "StammUn.h"
#include "UiLanguage.h"

#include <QAction>
#include <QLabel>
#include <QScopeGuard>
#include <QToolButton>
#include <utility>

using namespace Qt::StringLiterals;

bool TStammForm::listMissing(int helpContext, int row)
{
    // After a listing that failed, a row may stand empty: its number belongs
    // to a message the user never saw.
    const bool listed = row >= 0 ? m_messages->find(row) != nullptr : m_messages->size() > 0;
    if (LAnzahl->text() != u"0"_s && listed)
        return false;
    V.Meldung = byLanguage(u"Noch nicht möglich: - Mögliche Fehler:\r"_s, u"Not possible yet: - possible causes:\r"_s) +
                byLanguage(u"1. Sind Sie Online? \r"_s, u"1. Are you online? \r"_s) +
                byLanguage(u"2. Richten Sie ein Konto ein. -> Einstellungen RiruvuvUziruz\r"_s,
                           u"2. Set up an account. -> Settings, Mail accounts\r"_s) +
                byLanguage(u"3. Wählen Sie ein Konto aus.\r"_s, u"3. Choose an account.\r"_s) +
                byLanguage(u"4. Rufen Sie mit \"Prüfen\" erst eine Liste ab!\r"_s,
                           u"4. Fetch a list with \"Check\" first!\r"_s) +
                byLanguage(u"5. Die Verbindung ist unterbrochen -> Erneut auf \"Prüfen\"\r"_s,
                           u"5. The connection is broken -> \"Check\" again\r"_s);
    Dialogs::message(Dialogs::Kind::Error, V.Meldung, Dialogs::Ok | Dialogs::Help, helpContext);
    return true;
}

QString TStammForm::confirmationText(int row, quint16 question) const
{
    const MessageList::Message* message = m_messages->find(row);
    const QString subject = message ? message->subject : QString();
    const QString sender = message ? message->sender : QString();
    return GetText(39) + u" \""_s + subject + u"\"\r"_s + GetText(40) + u" \""_s + sender + u"\"\r"_s +
           GetText(question);
}

bool TStammForm::commandsAvailable() const
{
    // The client ignores a request while another one waits for the server, and
    // a reply read by the wrong command would be judged one line off.
    return !m_engine->running() && m_commandLocks == 0;
}

void TStammForm::updateCommands()
{
    const bool available = commandsAvailable();
    for (QToolButton* button : {SBCheck, SBDelete, SBExamine, SBCheck_All})
        button->setEnabled(available);
    for (QAction* item : {Check1, Delete1, Examine1, Examineall1, Restore1})
        item->setEnabled(available);
}

void TStammForm::serverCommand(const std::function<void()>& body)
{
    m_disconnectAsked = false;
    try {
        body();
    } catch (...) {
        if (!m_disconnectAsked)
            throw;
    }
}

void TStammForm::SBDeleteClick()
{
    if (!commandsAvailable())
        return;
    const CommandLock lock(*this);
    const int r = Tabelle->Row();
    if (listMissing(4, r))
        return;
    if (Dialogs::message(Dialogs::Kind::Confirmation, confirmationText(r, 41), Dialogs::Yes | Dialogs::No) !=
        Dialogs::Yes)
        return;
    serverCommand([&] {
        bool accepted = false;
        TNotifyEvent bound = std::exchange(Pop3Client1->OnSuccess, [&accepted](QObject*) { accepted = true; });
        const auto unbind = qScopeGuard([&] { Pop3Client1->OnSuccess = std::move(bound); });
        // The server confirms first that the number still carries the message shown.
        const MessageList::Message* shown = m_messages->find(r);
        Pop3Client1->DeleteMessage(r, shown ? shown->uid : QByteArray());
        // Only a deletion the server confirmed is shown as made.
        if (!accepted)
            return;
        m_messages->setDeletion(r, MessageList::Deletion::Marked, true);
    });
}

void TStammForm::Restore1Click()
{
    if (!commandsAvailable())
        return;
    const CommandLock lock(*this);
    serverCommand([this] {
        Pop3Client1->Reset();
        takeBackDeletionMarks(m_messages->markedDeletions());
    });
}

void TStammForm::SBExamineClick()
{
    if (!commandsAvailable())
        return;
    const CommandLock lock(*this);
    // A retrieval that fails leaves no lamp or status of its own behind.
    const auto done = qScopeGuard([this] {
        LEDWaiting->setLit(false);
        setStatusText(24, true);
    });
    LEDWaiting->setLit(true);
    setStatusText(25, true);
    const int r = Tabelle->Row();
    if (!listMissing(2, r)) {
        needWindows();
        m_examine->Einrichten();
        if (Dialogs::message(Dialogs::Kind::Confirmation, confirmationText(r, 42), Dialogs::Yes | Dialogs::No) ==
            Dialogs::Yes) {
            Modus = 2;
            Zeile = r;
            LEDWaiting->setLit(true);
            serverCommand([&] {
                Pop3Client1->RetrieveMessage(r);
                m_examine->Tabelle_Auswerten(Zeile);
                m_examine->show();
                m_examine->raise();
            });
        }
    }
}

void TStammForm::SBCheck_AllClick()
{
    if (!commandsAvailable())
        return;
    const CommandLock lock(*this);
    const auto done = qScopeGuard([this] {
        LEDWaiting->setLit(false);
        setStatusText(24, true);
    });
    LEDWaiting->setLit(true);
    setStatusText(25, true);
    if (!listMissing(2)) {
        Modus = 3;
        Zeile = 0;
        LEDWaiting->setLit(true);
        needWindows();
        m_examine->Einrichten();
        serverCommand([this] {
            // Messages deleted in this connection cannot be retrieved any more, and one that was
            // never listed the user has not seen: both are skipped.
            for (int i = 1; i <= Anzahl_Mails; ++i) {
                ++Zeile;
                const MessageList::Message* listed = m_messages->find(i);
                if (!listed || listed->deletion == MessageList::Deletion::Marked)
                    continue;
                Pop3Client1->RetrieveMessage(i);
                m_examine->Tabelle_Auswerten(Zeile);
            }
            m_examine->show();
            m_examine->raise();
        });
    }
}

void TStammForm::retrieveEndForExamination()
{
    const TMailMessage& message = Pop3Client1->MailMessage();
    if (Modus == 2) {
        QStringList body;
        for (const QByteArray& line : message.Body)
            body.append(AnsiText::fromAnsi(line));
        m_examine->setMessage(HeaderText::decode(HeaderText::unfolded(message.Head, "From")),
                              HeaderText::decode(HeaderText::unfolded(message.Head, "Subject")), body,
                              message.Attachments);
    } else if (Modus == 3) {
        m_examine->setMessage({}, {}, {}, message.Attachments);
    }
    PWarten->hide();
}
