#pragma once

#include "MailMessage.h"
#include "SockClient.h"

#include <QByteArray>
#include <QList>
#include <QString>

using TListEvent = std::function<void(int Msg, int Size)>;
// Passes the file name a message part is about to be stored under; the handler may change it.
using TVarFileNameEvent = std::function<void(QString& FileName)>;

// Header summary of one message, refilled by every RetrieveSummary.
struct TSummary
{
    QByteArray Subject;   // after "Subject:", the blank after the colon kept
    QByteArray From;      // after "From:", likewise
    int Bytes = 0;        // size as the server lists it
    QByteArray MessageId; // from the 13th character of "Message-ID:"
    TExStringList Header; // the header lines without line ends

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

    void ListMessages();
    void RetrieveSummary(int MsgNum);
    // RETR: fills MailMessage and extracts the parts into AttachFilePath
    // (OnPacketRecvd fires for every part line moved). A failure after the
    // server accepted RETR removes the files of this retrieval and leaves Body
    // and Attachments empty.
    void RetrieveMessage(int MsgNum);
    void DeleteMessage(int MsgNum);
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
    // What the server answered to CAPA (RFC 2449) at the last log-on, one
    // entry per line without the line end; empty when it does not know CAPA.
    const QList<QByteArray>& Capabilities() const { return m_capabilities; }
    // Whether Capabilities holds Name as its first word, compared without case.
    bool HasCapability(const QByteArray& Name) const;

protected:
    // A positive reply carries "+OK" in its first field.
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
    void Logon();
    void ReadCapabilities();
    void TakeSummaryLine(const QByteArray& Line);
    void ReadMessage();
    void SkipAnswer();

    TSummary m_summary;
    TMailMessage m_mailMessage;
    QList<QByteArray> m_capabilities;
    QString m_attachFilePath;
    int m_bytesRecvd = 0;
    int m_messageCount = 0;
    bool m_busy = false;
};
