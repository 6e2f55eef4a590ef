#include "CheckEngine.h"

#include "AnsiText.h"
#include "Exception.h"
#include "MessageList.h"
#include "OAuthAuthorizer.h"
#include "Pop3Client.h"
#include "ProgramFolder.h"
#include "UiLanguage.h"

#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// How soon the end of a check is looked at again while a command still waits.
constexpr int kRetryMs = 16;

} // namespace

CheckEngine::ListFiles CheckEngine::ListFiles::standard()
{
    return {ProgramFolder::userList(u"Absender_User.ini"_s), ProgramFolder::file(u"\\init\\Betreff.ini"_s),
            ProgramFolder::userList(u"Betreff_User.ini"_s)};
}

CheckEngine::CheckEngine(TPop3Client& client, MessageList& messages, QObject* parent)
    : QObject(parent), m_client(client), m_messages(messages), m_oauth(new OAuthAuthorizer(this))
{
    connect(m_oauth, &OAuthAuthorizer::tokenReady, this, &CheckEngine::tokenReady);
    connect(m_oauth, &OAuthAuthorizer::failed, this, &CheckEngine::tokenFailed);
    connect(m_oauth, &OAuthAuthorizer::browserWaiting, this, &CheckEngine::browserWaiting);
}

CheckEngine::~CheckEngine()
{
    unbindClient();
    saveCache();
}

void CheckEngine::bindClient()
{
    TPop3Client* c = &m_client;
    m_bound = true;
    m_connections = {
        connect(c, &TPop3Client::sessionReady, this, &CheckEngine::sessionReady),
        connect(c, &TPop3Client::uidsListed, this, &CheckEngine::uidsListed),
        connect(c, &TPop3Client::summaryListed, this, &CheckEngine::summaryListed),
        connect(c, &TPop3Client::deletionAnswered, this, &CheckEngine::deletionAnswered),
        connect(c, &TPop3Client::listingFinished, this, &CheckEngine::listingFinished),
        connect(c, &TPop3Client::quitAnswered, this,
                [this](bool accepted, const QByteArray&) { quitAnswered(accepted); }),
        connect(c, &TPop3Client::sessionFailed, this, &CheckEngine::sessionFailed),
        connect(c, &TPop3Client::trustAsked, this,
                [this](const TCertificateInfo& info) {
                    if (m_asker == Asker::Nobody) {
                        // Nobody is there to answer: the certificate is not trusted.
                        m_outcome.failure = Failure::Untrusted;
                        m_client.AnswerTrust(false);
                        return;
                    }
                    ask([this, info] { emit trustAsked(info); });
                }),
        connect(c, &TPop3Client::passwordAsked, this,
                [this] {
                    if (m_asker == Asker::Nobody) {
                        m_client.AnswerPassword(false);
                        return;
                    }
                    ask([this] { emit passwordAsked(); });
                }),
        connect(c, &TPop3Client::tokenAsked, this,
                [this] {
                    // Renewed once, with the refresh token or, for the user, in the browser.
                    m_awaitingToken = true;
                    m_oauth->start(m_account.oauth, m_account.keyringName, m_asker == Asker::User, true);
                }),
    };
    // The reasons of a failed connect, for the boxes that follow the check.
    m_boundInvalidHost = std::exchange(m_client.OnInvalidHost, nullptr);
    m_boundConnectionFailed = std::exchange(m_client.OnConnectionFailed, nullptr);
    m_client.OnInvalidHost = [this](bool& handled) {
        handled = false;
        m_outcome.failure = Failure::InvalidHost;
    };
    m_client.OnConnectionFailed = [this](QObject*) {
        if (m_outcome.failure == Failure::None)
            m_outcome.failure = Failure::ConnectionFailed;
    };
}

void CheckEngine::unbindClient()
{
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    if (m_bound) {
        m_client.OnInvalidHost = std::exchange(m_boundInvalidHost, nullptr);
        m_client.OnConnectionFailed = std::exchange(m_boundConnectionFailed, nullptr);
        m_bound = false;
    }
}

void CheckEngine::ask(const std::function<void()>& question)
{
    QTimer::singleShot(0, this, [this, question] {
        if (active())
            question();
    });
}

void CheckEngine::start(const Account& account, const ListFiles& lists, const Screening::Switches& switches,
                        Asker asker)
{
    if (m_running)
        return;
    // What the last check found is kept before its account is let go.
    saveCache();
    m_account = account;
    m_files = lists;
    m_switches = switches;
    m_asker = asker;
    m_outcome = {};
    m_uids.clear();
    m_entries.clear();
    m_uidsTold = false;
    m_cache.clear();
    m_condemned.clear();
    m_lists.clear();
    m_messages.clear();
    m_running = true;
    m_done = false;
    m_stopped = false;
    m_finishing = false;
    m_awaitingToken = false;
    bindClient();
    account.applyTo(m_client);
    if (account.logOn == Account::LogOn::OAuth2) {
        startOAuth();
        return;
    }
    if (account.userId.isEmpty() || account.password.isEmpty()) {
        // No log-on is tried without both: the server would only refuse it.
        refuse(byLanguage(u"Die Authentifizierung ist fehlgeschlagen"_s, u"Authentication failed"_s), Failure::Other);
        return;
    }
    startSession();
}

void CheckEngine::startSession()
{
    m_client.StartSession();
    // Read while the connection is being made: nothing of it is needed
    // before PASS is answered.
    m_cache = ListingCache::load(m_account);
    // With a cache only the headers of messages it does not know are read.
    m_client.ListAfterLogon(true, !m_cache.isEmpty());
}

void CheckEngine::refuse(const QString& message, Failure failure)
{
    m_outcome.error = message;
    m_outcome.failure = failure;
    QTimer::singleShot(0, this, &CheckEngine::finish);
}

void CheckEngine::startOAuth()
{
    // The token lets anyone who reads it into the mailbox: never in the clear.
    if (m_account.security == TSecurity::None) {
        refuse(byLanguage(u"Das Konto %1 meldet sich mit OAuth2 an, das nur über eine verschlüsselte Verbindung "
                          u"geschieht. Wählen Sie als Sicherheit SSL/TLS oder STARTTLS."_s,
                          u"The account %1 logs on with OAuth2, which works only over an encrypted connection. "
                          u"Choose SSL/TLS or STARTTLS as its security."_s)
                   .arg(m_account.name),
               Failure::Authorization);
        return;
    }
    if (m_account.userId.isEmpty()) {
        refuse(byLanguage(u"Für das Konto %1 ist keine UserID eingetragen."_s,
                          u"No user id is entered for the account %1."_s)
                   .arg(m_account.name),
               Failure::Authorization);
        return;
    }
    m_oauth->start(m_account.oauth, m_account.keyringName, m_asker == Asker::User, false);
}

void CheckEngine::tokenReady(const QString& token)
{
    if (!active())
        return;
    if (std::exchange(m_awaitingToken, false)) {
        m_client.AnswerToken(token);
        return;
    }
    m_client.OAuthToken = token;
    startSession();
}

void CheckEngine::tokenFailed(const QString& message)
{
    if (!active())
        return;
    m_outcome.error = message;
    m_outcome.failure = Failure::Authorization;
    if (std::exchange(m_awaitingToken, false)) {
        // The client ends its session; the reason stays the one above.
        m_client.AnswerToken({});
        return;
    }
    finish();
}

void CheckEngine::cancelAuthorization()
{
    if (active())
        m_oauth->cancel();
}

void CheckEngine::answerTrust(bool accept)
{
    if (!active())
        return;
    if (!accept)
        m_outcome.failure = Failure::Untrusted;
    m_client.AnswerTrust(accept);
}

void CheckEngine::answerPassword(bool retry, const QString& userId, const QString& password)
{
    if (!active())
        return;
    if (retry) {
        m_account.userId = userId;
        m_account.password = password;
        m_client.UserID = userId;
        m_client.Password = password;
    }
    m_client.AnswerPassword(retry);
}

void CheckEngine::abandon()
{
    if (!active())
        return;
    m_stopped = true;
    m_oauth->cancel();
    m_client.Abort();
    if (active()) {
        m_outcome.error = byLanguage(u"Verbindung abgebrochen"_s, u"Connection aborted"_s);
        finish();
    }
}

void CheckEngine::sessionReady()
{
    m_outcome.messages = m_client.MessageCount();
    emit loggedOn(m_outcome.messages);
    if (!active())
        return;
    // The listing follows the log-on in the same stream unless the server
    // could not take it along.
    const bool listing = m_client.State() == TPop3State::Listing;
    if (m_stopped || (m_outcome.messages <= 0 && !listing)) {
        if (listing)
            m_client.StopListing();
        else
            listingFinished();
        return;
    }
    try {
        // A list that cannot be read stops the check before anything is screened.
        m_lists.list(m_files.absender);
        m_lists.list(m_files.betreff);
        m_lists.list(m_files.betreffEigen);
    } catch (const std::exception& e) {
        if (listing)
            m_client.StopListing();
        sessionFailed(messageOf(e).trimmed());
        return;
    }
    emit progress(0, m_outcome.messages);
    if (!listing)
        m_client.StartListing(1, m_outcome.messages, true);
}

void CheckEngine::uidsListed(const QMap<int, QByteArray>& ids)
{
    m_uids = ids;
    m_uidsTold = true;
    if (!active() || m_cache.isEmpty())
        return;
    // The messages the cache knows are shown and screened now, from what it
    // kept, against the lists as they are now; the server is asked only for
    // the headers of the others.
    Screening::Lists lists;
    if (!readLists(lists))
        return;
    QList<int> wanted;
    for (int number = 1; number <= m_outcome.messages; ++number) {
        const QByteArray uid = ids.value(number);
        const auto known = uid.isEmpty() ? m_cache.cend() : m_cache.constFind(uid);
        if (known == m_cache.cend()) {
            wanted.append(number);
            continue;
        }
        ListingCache::Entry entry = *known;
        entry.bytes = m_client.ListedSize(number);
        TSummary summary = entry.summary();
        m_entries.insert(number, std::move(entry));
        ++m_outcome.fromCache;
        if (!takeRow(number, summary, false, lists))
            return;
    }
    m_client.ChooseSummaries(wanted);
}

void CheckEngine::summaryListed(int number, const TSummary& summary)
{
    if (!active())
        return;
    const QByteArray uid = m_uids.value(number);
    if (!uid.isEmpty())
        m_entries.insert(number, ListingCache::Entry::fromSummary(uid, summary));
    const bool fresh = !m_cache.isEmpty() && !uid.isEmpty();
    if (fresh)
        ++m_outcome.fresh;
    // Read again for each header: a list saved meanwhile screens the next one.
    Screening::Lists lists;
    if (readLists(lists))
        takeRow(number, summary, fresh, lists);
}

bool CheckEngine::readLists(Screening::Lists& lists)
{
    try {
        lists = {m_lists.list(m_files.absender), m_lists.list(m_files.betreff), m_lists.list(m_files.betreffEigen)};
        return true;
    } catch (const std::exception& e) {
        m_outcome.error = messageOf(e).trimmed();
        m_stopped = true;
        m_client.StopListing();
        return false;
    }
}

bool CheckEngine::takeRow(int number, const TSummary& summary, bool fresh, const Screening::Lists& lists)
{
    const Screening::Result result = Screening::screen(summary, lists, m_switches);
    MessageList::Message message;
    message.number = number;
    message.uid = m_uids.value(number);
    message.bytes = summary.Bytes;
    message.messageId = summary.MessageId.trimmed();
    // The fields as the user reads them, which are the fields screened.
    message.sender = Screening::field(summary, "From").text;
    message.subject = Screening::field(summary, "Subject").text;
    message.mark = result.mark;
    message.fresh = fresh;
    m_messages.append(message);
    ++m_outcome.listed;
    if (result.condemned && !m_stopped) {
        m_condemned.insert(number, result);
        m_client.QueueDeletion(number);
    }
    emit rowScreened(number, result);
    emit progress(m_outcome.listed, m_outcome.messages);
    return active() && !m_stopped;
}

void CheckEngine::saveCache()
{
    // Only a listing that told lasting ids can be found again; what it did
    // not reach is read again next time.
    if (!std::exchange(m_uidsTold, false))
        return;
    QString error;
    if (!ListingCache::save(m_account, m_entries.values(), &error))
        qWarning("%s", qPrintable(error));
    m_entries.clear();
}

void CheckEngine::deletionAnswered(int number, bool accepted, const QByteArray& reply)
{
    const Screening::Result result = m_condemned.take(number);
    if (!active())
        return;
    m_messages.setDeletion(number, accepted ? MessageList::Deletion::Marked : MessageList::Deletion::Refused);
    if (!accepted && m_outcome.error.isEmpty())
        m_outcome.error = reply.isEmpty() ? byLanguage(u"Die Verbindung wurde vom Server geschlossen"_s,
                                                       u"The server closed the connection"_s)
                                          : AnsiText::fromAnsi(reply).trimmed();
    if (accepted) {
        ++m_outcome.deleted;
        m_outcome.deletedAbsender += result.countAbsender;
        m_outcome.deletedBetreff += result.countBetreff;
        m_outcome.deletedBetreffEigen += result.countBetreffEigen;
    }
    emit deletionChanged(number);
}

void CheckEngine::listingFinished()
{
    if (!active() || m_finishing)
        return;
    // A DELE that was queued but never answered did not happen.
    for (auto it = m_condemned.cbegin(); it != m_condemned.cend(); ++it) {
        m_messages.setDeletion(it.key(), MessageList::Deletion::Undone);
        emit deletionChanged(it.key());
    }
    m_condemned.clear();
    if (m_asker == Asker::Nobody && !m_outcome.error.isEmpty()) {
        sessionFailed(m_outcome.error);
        return;
    }
    if (m_asker == Asker::Nobody && m_client.Connected()) {
        // The schedule ends with QUIT, so its deletions take effect and the
        // mailbox is free for the mail program.
        m_finishing = true;
        m_client.StartQuit();
        return;
    }
    m_outcome.ok = m_outcome.error.isEmpty();
    finish();
}

void CheckEngine::quitAnswered(bool accepted)
{
    if (!active())
        return;
    m_outcome.quitAccepted = accepted;
    const QList<int> marked = m_messages.markedDeletions();
    for (int number : marked) {
        m_messages.setDeletion(number, accepted ? MessageList::Deletion::Final : MessageList::Deletion::Undone);
        emit deletionChanged(number);
    }
    if (!accepted) {
        m_outcome.deleted = 0;
        m_outcome.error = byLanguage(u"Die Löschungen wurden nicht ausgeführt: QUIT wurde abgelehnt"_s,
                                     u"The deletions were not carried out: QUIT was refused"_s);
    }
    m_outcome.ok = m_outcome.error.isEmpty();
    finish();
}

void CheckEngine::sessionFailed(const QString& message)
{
    if (!active())
        return;
    // A refused reply keeps its text, without the line end.
    if (m_outcome.error.isEmpty())
        m_outcome.error = message.trimmed();
    if (m_outcome.failure == Failure::None)
        m_outcome.failure = Failure::Other;
    m_outcome.timedOut = m_client.TimedOut();
    m_outcome.errorNumber = m_client.LastError();
    if (m_asker == Asker::Nobody) {
        // Without QUIT the server keeps every message of this connection.
        if (m_client.Connected())
            m_client.Abort();
        const QList<int> marked = m_messages.markedDeletions();
        for (int number : marked)
            m_messages.setDeletion(number, MessageList::Deletion::Undone);
        m_outcome.deleted = 0;
    }
    m_condemned.clear();
    finish();
}

void CheckEngine::finish()
{
    if (!active())
        return;
    unbindClient();
    m_done = true;
    m_finishing = false;
    // A token asked for a session that has ended: no browser opens for it.
    m_oauth->cancel();
    // Announced from the event loop: the window's boxes open after the
    // protocol step that ended the check has returned.
    QTimer::singleShot(0, this, &CheckEngine::announce);
}

void CheckEngine::announce()
{
    // A command of the user's that ended the check (Disconnect) may still wait
    // for its answer: the end is told once that command has returned.
    if (m_client.Waiting()) {
        QTimer::singleShot(kRetryMs, this, &CheckEngine::announce);
        return;
    }
    m_running = false;
    emit finished(m_outcome);
    // Kept once the user has the complete list: the file is for the next check.
    saveCache();
}
