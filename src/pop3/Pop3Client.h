#pragma once

#include "MailMessage.h"
#include "Pop3Reply.h"
#include "SockClient.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

using TListEvent = std::function<void(int Msg, int Size)>;
// Asked after each summary of a listing: whether the message goes at once.
using TCondemnedEvent = std::function<bool(int MsgNum)>;
// The server has accepted the deletion of a message.
using TDeletedEvent = std::function<void(int MsgNum)>;
// Passes the file name a message part is about to be stored under; the handler may change it.
using TVarFileNameEvent = std::function<void(QString& FileName)>;

// How the connection is secured: TLS from the first byte, STLS after the
// greeting, or not at all.
enum class TSecurity
{
    None,
    Tls,
    StartTls,
};

// Where an asynchronous session stands.
enum class TPop3State
{
    Closed,
    Connecting,
    Greeting,
    Capabilities,
    StartTls,
    Handshake,
    AwaitingTrust,
    User,
    Pass,
    AwaitingPassword,
    Authenticating, // AUTH with an OAuth2 token sent
    AwaitingToken,
    Stat,
    Ready,
    Listing,
    Quitting,
};

// Header summary of one message, refilled by every RetrieveSummary.
struct TSummary
{
    QByteArray Subject;   // after "Subject:" in the header, the blank after the colon kept
    QByteArray From;      // after "From:" in the header, likewise
    int Bytes = 0;        // size as the server lists it
    QByteArray MessageId; // from the 13th character of "Message-ID:"
    TExStringList Header; // the header lines without line ends, up to the first empty line and with it

    void clear();
};

// The mail-box client: POP3 (RFC 1939) over the connection of TSockClient.
// The log-on, the listing and QUIT run as a session with an explicit state
// that takes each reply when it arrives; Connect and RetrieveSummaries wait
// once on it. List, summary, message, delete and reset calls that arrive while
// another operation waits (the user's commands run inside the waits) are
// ignored while Busy is set; OnBusyChanged tells a window when to lock and
// unlock them. Busy holds for the whole log-on and the whole listing.
class TPop3Client : public TSockClient
{
    Q_OBJECT

public:
    explicit TPop3Client(QObject* parent = nullptr);
    ~TPop3Client() override;

    // Published properties.
    QString UserID;
    QString Password;
    // An OAuth2 access token. When set, the log-on is SASL XOAUTH2 or
    // OAUTHBEARER with it (whichever the server offers) and USER and PASS are
    // never sent; it needs a secured connection.
    QString OAuthToken;
    // Whether a single-part message is extracted like a part (a Base64 body
    // decoded into a file and read back as the body text); multipart messages
    // always have their parts extracted.
    bool Parse = false;
    // Sends DELE after each successful RETR.
    bool DeleteOnRead = false;
    TSecurity Security = TSecurity::None;

    // Fired at the end of Connect once the logon and STAT have succeeded; this takes the
    // place of the socket-level event of the same name.
    TNotifyEvent OnConnect;
    THandlerEvent OnAuthenticationNeeded;
    THandlerEvent OnAuthenticationFailed;
    TNotifyEvent OnRetrieveStart;
    TNotifyEvent OnRetrieveEnd;
    TListEvent OnList;
    TNotifyEvent OnSuccess;
    TNotifyEvent OnFailure;
    TNotifyEvent OnReset;
    // Whenever Busy changes.
    TNotifyEvent OnBusyChanged;
    // Before a message part is stored as a file in AttachFilePath.
    TVarFileNameEvent OnDecodeStart;

    void Connect() override;
    void Disconnect() override;
    void Abort() override;
    // One command and its reply line, through the queue of commands in flight.
    // The windows lock their commands while the client waits, so nothing is
    // sent here while other answers are still due.
    QByteArray Transaction(const QByteArray& Command) override;

    void ListMessages();
    void RetrieveSummary(int MsgNum);
    // The summaries of messages First to Last in order, each with the events
    // of RetrieveSummary. After each OnRetrieveEnd, Condemned says whether the
    // message is to be deleted now: its DELE joins the stream and Deleted
    // reports the server's consent. When the server offers PIPELINING the
    // commands go out ahead of the answers, a bounded number at a time.
    // A Disconnect during the listing ends it after the reply at hand; the
    // summaries delivered so far stand. The whole LIST of ListMessages always
    // comes first and gives the sizes; ListFirst is kept for callers only.
    void RetrieveSummaries(int First, int Last, const TCondemnedEvent& Condemned = {},
                           const TDeletedEvent& Deleted = {}, bool ListFirst = false);
    // RETR: fills MailMessage and extracts the parts into AttachFilePath
    // (OnPacketRecvd fires for every part line moved). A failure after the
    // server accepted RETR removes the files of this retrieval and leaves Body
    // and Attachments empty.
    void RetrieveMessage(int MsgNum);
    void DeleteMessage(int MsgNum);
    // UIDL: the server's lasting id of every message, by message number. Only
    // for a server that offers UIDL; a refusal fails.
    QMap<int, QByteArray> UniqueIds();
    void Reset();

    int MessageCount() const { return m_messageCount; }
    const TSummary& Summary() const { return m_summary; }
    const TMailMessage& MailMessage() const { return m_mailMessage; }
    // Part lines moved during the current or last RetrieveMessage: a line count, not bytes.
    int BytesRecvd() const { return m_bytesRecvd; }
    // The scratch folder for extracted parts, always ending in a separator
    // unless empty.
    const QString& AttachFilePath() const { return m_attachFilePath; }
    void setAttachFilePath(const QString& Path);
    bool Busy() const { return m_busy; }
    // The commands sent whose answers have not been read yet, oldest first.
    const QList<QByteArray>& InFlight() const { return m_inFlight; }
    // At most this many commands are in flight during a pipelined listing.
    static constexpr int PipelineDepth = 2048;
    // What the server answered to CAPA (RFC 2449) at the last log-on, one
    // entry per line without the line end; empty when it does not know CAPA.
    const QList<QByteArray>& Capabilities() const { return m_capabilities; }
    // Whether Capabilities holds Name as its first word, compared without case.
    bool HasCapability(const QByteArray& Name) const;

    // The same session without a wait: each call returns at once and what
    // follows comes as signals from the event loop, so a handler may take the
    // next step at once. The blocking calls above run on these steps.
    TPop3State State() const { return m_state; }
    // A log-on or QUIT under way waits for the server too.
    bool Waiting() const override;
    // The log-on with Host, Port, Security, Trusted, UserID and Password (or
    // OAuthToken) as set now; sessionReady or sessionFailed follow. A token
    // without TLS is refused before connecting.
    void StartSession();
    // Answers trustAsked: go on with the handshake, or give up.
    void AnswerTrust(bool accept);
    // Answers passwordAsked: USER and PASS again with UserID and Password as
    // set now, or give up.
    void AnswerPassword(bool retry);
    // Answers tokenAsked: AUTH again on the same connection with this token
    // (which becomes OAuthToken), or give up when it is empty.
    void AnswerToken(const QString& token);
    // Once Ready: LIST, then UIDL when WithUidl and offered, then TOP n 0 for
    // First to Last; pipelined when the server offers PIPELINING.
    void StartListing(int First, int Last, bool WithUidl);
    // During a listing: DELE n joins the stream.
    void QueueDeletion(int MsgNum);
    // Ends a listing after the reply at hand: nothing more is sent, the
    // answers still due are read away, then listingFinished.
    void StopListing();
    // QUIT without a wait: quitAnswered follows, then the connection closes.
    void StartQuit();

signals:
    void stateChanged(TPop3State state);
    // A certificate did not verify; the handshake waits for AnswerTrust.
    void trustAsked(const TCertificateInfo& info);
    // USER or PASS was refused; the log-on waits for AnswerPassword.
    void passwordAsked();
    // The server refused OAuthToken; the log-on waits for AnswerToken. Asked
    // once per session: a refusal of the answered token fails it.
    void tokenAsked();
    // STAT answered; MessageCount() holds the count.
    void sessionReady();
    // The UIDL answer, before the first summary.
    void uidsListed(const QMap<int, QByteArray>& ids);
    // Summary.Bytes comes from the LIST answer; Summary() equals it.
    void summaryListed(int MsgNum, const TSummary& Summary);
    void deletionAnswered(int MsgNum, bool Accepted, const QByteArray& Reply);
    // Every summary and every queued DELE answered, or the listing stopped.
    void listingFinished();
    void quitAnswered(bool Accepted, const QByteArray& Reply);
    // The log-on, the listing or QUIT could not go on; Connected() tells
    // whether the connection is still open.
    void sessionFailed(const QString& Message);

protected:
    bool AnswerDue() const override { return !m_inFlight.isEmpty() || m_answerOpen || m_state == TPop3State::Greeting; }
    void lineArrived() override;
    void socketClosed() override;
    void readTimedOut() override;
    void readCanceled() override;
    // A positive reply begins with "+OK".
    static bool IsPositive(const QByteArray& Reply);
    // Raises the general exception with the reply line as its text.
    [[noreturn]] static void RaiseReply(const QByteArray& Reply);
    // The next line of a multi-line answer with its line end; a dot-stuffed line
    // loses its first dot. Returns false at the terminating dot line.
    bool ReadAnswerLine(QByteArray& Line);
    // Marks the client busy for one operation and clears it again on every exit.
    class BusyScope
    {
    public:
        explicit BusyScope(TPop3Client& client) : m_client(client), m_was(client.m_busy) { m_client.setBusy(true); }
        ~BusyScope() { m_client.setBusy(m_was); }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        TPop3Client& m_client;
        bool m_was;
    };

private:
    void setBusy(bool busy);
    void setState(TPop3State state);
    bool loggingOn() const;
    // One line of the session, read without a wait or by a blocking drain.
    void feedLine(const QByteArray& Line);
    void answerLine(const QByteArray& Command, const QByteArray& Line);
    void answerEnded(const QByteArray& Command);
    void replied(const QByteArray& Command, const QByteArray& Reply);
    void listingReplied(const QByteArray& Command, const QByteArray& Reply);
    void listingLine(const QByteArray& Command, const QByteArray& Line);
    void listingEnded(const QByteArray& Command);
    // What comes next once a reply or an answer has been taken.
    void advance();
    void fillListing();
    // Sends what the listing may send now; a failure to send fails the listing.
    void topUpListing();
    void finishListing();
    void sendQuit();
    // Log-on steps.
    void connectDone(std::exception_ptr Failure);
    void tlsDone(std::exception_ptr Failure);
    void askTrust(const TCertificateInfo& Info);
    void capabilitiesDone();
    void sendLogon();
    void logonRefused();
    // The OAuth2 log-on: AUTH with the initial response, the server's
    // continuations and its verdict.
    void sendAuth();
    // Why the token cannot be used on this connection; empty when it can.
    QString oauthRefusal() const;
    void authContinued(const QByteArray& Line);
    void authReplied(const QByteArray& Reply);
    void statReplied(const QByteArray& Reply);
    void quitReplied(const QByteArray& Reply);
    // A step cannot go on: with the connection open the answers still due are
    // read away first; then the failure is told.
    void fail(std::exception_ptr Failure);
    void failLater(const QString& Message);
    // A step that failed as it was started fails from the event loop.
    void failSoon(std::exception_ptr Failure);
    void tellFailure(std::exception_ptr Failure);
    void closedDuringStep();
    // Emits a signal whose handler may run a loop of its own: lines are held
    // meanwhile and taken up again afterwards.
    void deliver(const std::function<void()>& emitter);
    // The blocking drain of a listing that a blocking call ends.
    void settleListing();
    // The reply half of takeReply: checks the reply against the oldest
    // command in flight and takes that command off the queue.
    void acceptReply(const QByteArray& Command, const QByteArray& Reply);
    // The answer to TOP n 0 after its reply line: the summary's header.
    void readSummaryHeader(const QByteArray& Top);
    void TakeSummaryLine(const QByteArray& Line);
    // Drops the connection without QUIT when a reply cannot belong to its command.
    [[noreturn]] void outOfStep(const QByteArray& Command, const QByteArray& Line);
    // Drops the connection when an answer held in memory grows beyond Limit.
    [[noreturn]] void tooLong(const QByteArray& Command, qsizetype Limit);
    void ReadMessage();
    void SkipAnswer();
    // The lines of a LIST answer, each passed to OnList.
    void readList();
    // Sends one command and queues it in flight; the queue is forgotten when the write fails.
    void sendCommand(const QByteArray& Command);
    // Sends commands in one piece: queued in flight, without waiting for the write.
    void postCommands(const QList<QByteArray>& Commands);
    // The reply line to the oldest command in flight. A positive reply to a
    // multi-line command leaves its answer open until ReadAnswerLine reaches the dot.
    QByteArray takeReply();
    // Reads away every answer still due, so the connection can take a new
    // command; closes it when even that fails.
    void settleInFlight();
    void forgetInFlight();

    TSummary m_summary;
    TMailMessage m_mailMessage;
    QList<QByteArray> m_capabilities;
    // What the connection waits for: the commands sent and not yet answered,
    // on every path, and whether the body of a multi-line answer is being read.
    QList<QByteArray> m_inFlight;
    bool m_answerOpen = false;
    TPop3State m_state = TPop3State::Closed;
    // The failure told last by sessionFailed, for the blocking calls to raise.
    std::exception_ptr m_failure;
    // A failure to tell once the answers still due have been read away.
    std::exception_ptr m_pendingFailure;
    // The command whose multi-line answer is being read.
    QByteArray m_openCommand;
    int m_passwordTries = 0;
    int m_tokenTries = 0;
    // The SASL exchange under way: its mechanism, initial response and the
    // continuations the server has sent for it.
    QByteArray m_authMechanism;
    QByteArray m_authResponse;
    int m_authContinuations = 0;
    bool m_tlsDone = false;
    bool m_userTaken = false;
    bool m_pipelinedLogon = false;
    QByteArray m_passCommand;
    qsizetype m_capabilityBytes = 0;
    // The blocking Connect waits: it fires OnConnect itself after its wait.
    bool m_blockingLogon = false;
    // The listing under way.
    int m_nextMsg = 0;
    int m_lastMsg = 0;
    bool m_listPending = false;
    bool m_uidlPending = false;
    bool m_pipelined = false;
    // Nothing more is sent; the answers due are read away without delivering them.
    bool m_stopping = false;
    bool m_quitAfterStop = false;
    QList<int> m_pendingDeletions;
    QHash<int, int> m_sizes;
    QMap<int, QByteArray> m_ids;
    Pop3Reply::ScanListing m_scan{-1};
    // Fired once the answer to a TOP of a listing is the next one due.
    TNotifyEvent m_summaryStart;
    QByteArray m_startedTop;
    QString m_attachFilePath;
    int m_bytesRecvd = 0;
    int m_messageCount = 0;
    // Whether STAT gave the count, which bounds the lines of LIST and UIDL.
    bool m_countKnown = false;
    bool m_headerEnded = false;
    qsizetype m_headerBytes = 0;
    bool m_busy = false;
};
