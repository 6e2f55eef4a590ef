#pragma once

#include "MailMessage.h"
#include "SockClient.h"

#include <QByteArray>
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
    Stat,
    Ready,
    Listing,
    Quitting
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
// List, summary, message, delete and reset calls that arrive while another
// operation waits (the user's commands run inside the waits) are ignored while
// Busy is set; OnBusyChanged tells a window when to lock and unlock them.
class TPop3Client : public TSockClient
{
    Q_OBJECT

public:
    explicit TPop3Client(QObject* parent = nullptr);
    ~TPop3Client() override;

    // Published properties.
    QString UserID;
    QString Password;
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

    TPop3State State() const;
    void StartSession();
    void AnswerTrust(bool accept);
    void AnswerPassword(bool retry);
    void StartListing(int First, int Last, bool WithUidl);
    void QueueDeletion(int MsgNum);
    void StopListing();
    void StartQuit();
signals:
    void stateChanged(TPop3State state);
    void trustAsked(const TCertificateInfo& info);
    void passwordAsked();
    void sessionReady();
    void uidsListed(const QMap<int, QByteArray>& ids);
    void summaryListed(int MsgNum, const TSummary& Summary);
    void deletionAnswered(int MsgNum, bool Accepted, const QByteArray& Reply);
    void listingFinished();
    void quitAnswered(bool Accepted, const QByteArray& Reply);
    void sessionFailed(const QString& Message);

public:
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
    // summaries delivered so far stand. ListFirst puts the whole LIST of
    // ListMessages ahead of the summaries in the same stream.
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

protected:
    bool AnswerDue() const override { return !m_inFlight.isEmpty() || m_answerOpen; }
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
    // USER and PASS, with one more try after OnAuthenticationFailed; returns the reply to STAT.
    QByteArray Logon();
    void ReadCapabilities();
    // STLS and the handshake; nothing of the log-on goes out before both succeeded.
    void NegotiateTls();
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
    // Reads the replies of deletions that have reached the front of the queue.
    void settleDeletions(bool Raise);
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
    // Set while a listing runs, so a deletion answered while settling is reported too.
    TDeletedEvent m_deleted;
    bool m_listingStopped = false;
    QString m_attachFilePath;
    int m_bytesRecvd = 0;
    int m_messageCount = 0;
    // Whether STAT gave the count, which bounds the lines of LIST and UIDL.
    bool m_countKnown = false;
    bool m_headerEnded = false;
    qsizetype m_headerBytes = 0;
    bool m_busy = false;
};
