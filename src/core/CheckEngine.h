#pragma once

#include "Account.h"
#include "ListingCache.h"
#include "Pop3Client.h"
#include "Screening.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class MessageList;
class OAuthAuthorizer;
class TPop3Client;
struct TCertificateInfo;
struct TSummary;

// One check of one account, for the window and for the schedule alike: log
// on, list every waiting message into the message list, screen each one as it
// arrives and queue the DELE of a condemned one in the same stream. Nothing
// waits: every step runs when the server's answer arrives, and every question
// (a refused password, a certificate that does not verify) is asked after the
// protocol step that raised it has returned, and answered through a slot.
class CheckEngine : public QObject
{
    Q_OBJECT
public:
    // Who answers questions: the user (the window) or nobody (the schedule,
    // which refuses what it would have to ask and ends with QUIT).
    enum class Asker
    {
        User,
        Nobody
    };
    enum class Failure
    {
        None,
        InvalidHost,      // the host name could not be resolved
        ConnectionFailed, // no connection to the server
        Untrusted,        // the certificate was not trusted
        Authorization,    // no OAuth2 token: refused, cancelled, or the account cannot use one
        Other
    };
    struct Outcome
    {
        bool ok = false;
        Failure failure = Failure::None;
        QString error; // why it failed, as the log says it
        int errorNumber = 0;
        bool timedOut = false;
        int messages = 0; // on the server when the check logged on
        int listed = 0;
        // Listed from the account's cache, without reading their header again.
        int fromCache = 0;
        // Not in the cache of the last listing: arrived since.
        int fresh = 0;
        // Deletions the server took, in all and by the list that condemned them.
        int deleted = 0;
        int deletedAbsender = 0;
        int deletedBetreff = 0;
        int deletedBetreffEigen = 0;
        // The schedule's QUIT was accepted: its deletions are final.
        bool quitAccepted = false;
    };

    CheckEngine(TPop3Client& client, MessageList& messages, QObject* parent = nullptr);
    ~CheckEngine() override;

    // The lists are read from these files, each again only when it changed on
    // disk, so a list saved during a check screens the next message.
    struct ListFiles
    {
        QString absender;
        QString betreff;
        QString betreffEigen;
        static ListFiles standard();
    };

    void start(const Account& account, const ListFiles& lists, const Screening::Switches& switches, Asker asker);
    bool running() const { return m_running; }
    const Account& account() const { return m_account; }
    // The user's answers to trustAsked and passwordAsked.
    void answerTrust(bool accept);
    void answerPassword(bool retry, const QString& userId = {}, const QString& password = {});
    // A list file was saved: it is read again at the next message, even
    // within the same tick of the file clock.
    void listsSaved() { m_lists.clear(); }
    // Gives the check up at once, without QUIT.
    void abandon();
    // Ends the wait for the log-on in the browser; the check fails.
    void cancelAuthorization();

signals:
    void loggedOn(int messages);
    void rowScreened(int number, const Screening::Result& result);
    // A deletion changed its state in the message list.
    void deletionChanged(int number);
    void progress(int listed, int total);
    void trustAsked(const TCertificateInfo& info);
    void passwordAsked();
    // The user is to log on in the browser (true), or no longer (false).
    void browserWaiting(bool waiting);
    void finished(const CheckEngine::Outcome& outcome);

private:
    void sessionReady();
    void uidsListed(const QMap<int, QByteArray>& ids);
    void summaryListed(int number, const TSummary& summary);
    // The three lists as they are on disk now; false (and the check stopping) when one cannot be read.
    bool readLists(Screening::Lists& lists);
    // Shows and screens one message; false once the check stopped.
    bool takeRow(int number, const TSummary& summary, bool fresh, const Screening::Lists& lists);
    void saveCache();
    // The log-on, with the listing to follow it in the same stream.
    void startSession();
    void deletionAnswered(int number, bool accepted, const QByteArray& reply);
    void listingFinished();
    void quitAnswered(bool accepted);
    void sessionFailed(const QString& message);
    void finish();
    // Ends the check before anything was sent to the server.
    void refuse(const QString& message, Failure failure);
    void startOAuth();
    void tokenReady(const QString& token);
    void tokenFailed(const QString& message);
    void announce();
    // Queued, so a box opens after the socket's notification has returned.
    void ask(const std::function<void()>& question);
    void bindClient();
    void unbindClient();

    TPop3Client& m_client;
    MessageList& m_messages;
    Account m_account;
    ListFiles m_files;
    Screening::ListCache m_lists;
    Screening::Switches m_switches;
    Asker m_asker = Asker::User;
    Outcome m_outcome;
    QMap<int, QByteArray> m_uids;
    // What the last listing of this account found, by UIDL, and what this one
    // found, by message number, to be kept for the next.
    ListingCache::Entries m_cache;
    QMap<int, ListingCache::Entry> m_entries;
    bool m_uidsTold = false;
    // The screening of each message whose DELE is queued, to count its deletion by list.
    QMap<int, Screening::Result> m_condemned;
    QList<QMetaObject::Connection> m_connections;
    OAuthAuthorizer* m_oauth = nullptr;
    // The server refused the token; the next one answers it.
    bool m_awaitingToken = false;
    // The client's own handlers, given back when the check ends.
    THandlerEvent m_boundInvalidHost;
    TNotifyEvent m_boundConnectionFailed;
    bool m_bound = false;
    // Whether the check is under way: m_done once it has ended, m_running
    // until its end has been announced.
    bool active() const { return m_running && !m_done; }
    bool m_running = false;
    bool m_done = false;
    bool m_stopped = false;
    bool m_finishing = false;
};
