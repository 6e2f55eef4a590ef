// Deletions become final only when the server accepts QUIT. When a connection
// ends otherwise, the user is told how many were not made, and the grid stops
// claiming them before the mail program downloads those messages after all.
#include "Dialogs.h"
#include "Exception.h"
#include "MessageList.h"
#include "ModelGrid.h"
#include "Pop3Client.h"
#include "Pop3Reply.h"
#include "StammUn.h"
#include "UiLanguage.h"

#include <exception>
#include <utility>

using namespace Qt::StringLiterals;

bool TStammForm::quitServer(bool swallow)
{
    // A wait that is cancelled closes the connection without QUIT.
    const bool withoutQuit = Pop3Client1->Waiting();
    m_quitting = true;
    m_unconfirmed.clear();
    std::exception_ptr failure;
    QString why;
    try {
        Pop3Client1->Disconnect();
    } catch (const std::exception& e) {
        failure = std::current_exception();
        why = messageOf(e).trimmed();
    }
    m_quitting = false;
    const QList<int> undone = std::exchange(m_unconfirmed, {});
    if (!failure && withoutQuit)
        why = byLanguage(u"Die Verbindung wurde ohne QUIT getrennt"_s, u"The connection was closed without QUIT"_s);
    else if (!failure && Pop3Reply::status(Pop3Client1->LastReply()) != Pop3Reply::Status::Positive)
        why = byLanguage(u"Die Verbindung wurde vom Server geschlossen"_s, u"The server closed the connection"_s);
    if (!undone.isEmpty() && !why.isEmpty()) {
        reportUndoneDeletions(undone, why);
        return !failure;
    }
    for (int number : undone)
        m_messages->setDeletion(number, MessageList::Deletion::Final);
    if (failure && !swallow)
        std::rethrow_exception(failure);
    return true;
}

void TStammForm::connectionEnded()
{
    const QList<int> made = m_messages->markedDeletions();
    if (made.isEmpty())
        return;
    // The window's own disconnect reports them once it knows QUIT's answer.
    if (m_quitting) {
        m_unconfirmed = made;
        return;
    }
    const int error = Pop3Client1->LastError();
    if (Pop3Client1->TimedOut())
        reportUndoneDeletions(made, byLanguage(u"Der Server hat nicht rechtzeitig geantwortet"_s,
                                               u"The server did not answer in time"_s));
    else if (error != 0)
        reportUndoneDeletions(
            made, byLanguage(u"Die Verbindung ist unterbrochen (Fehler "_s, u"The connection is broken (error "_s) +
                      QString::number(error) + u")"_s);
    else
        reportUndoneDeletions(
            made, byLanguage(u"Die Verbindung wurde vom Server geschlossen"_s, u"The server closed the connection"_s));
}

void TStammForm::reportUndoneDeletions(const QList<int>& deletions, const QString& why)
{
    takeBackDeletionMarks(deletions);
    const QString count = QString::number(deletions.size());
    log(u"Error: "_s + count +
        byLanguage(u" Löschung(en) auf dem Server nicht ausgeführt: "_s,
                   u" deletion(s) not carried out on the server: "_s) +
        why);
    if (m_endingSession)
        return;
    Dialogs::message(Dialogs::Kind::Error, count +
                                               byLanguage(u" Löschung(en) wurde(n) auf dem Server nicht ausgeführt, "_s,
                                                          u" deletion(s) were not carried out on the server, "_s) +
                                               byLanguage(u"die Nachricht(en) bleibt/bleiben erhalten.\r"_s,
                                                          u"the message(s) stay on it.\r"_s) +
                                               why);
}

void TStammForm::takeBackDeletionMarks(const QList<int>& deletions)
{
    for (int number : deletions)
        m_messages->setDeletion(number, MessageList::Deletion::Undone);
}
