#pragma once

#include "SockClient.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A list of lines that the mail records own.
using TExStringList = QList<QByteArray>;

using TListEvent = std::function<void(int Msg, int Size)>;

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
// List, summary and delete calls that arrive while another operation waits
// (the user's commands run inside the waits) are ignored while Busy is set.
class TPop3Client : public TSockClient
{
    Q_OBJECT

public:
    explicit TPop3Client(QObject* parent = nullptr);
    ~TPop3Client() override;

    // Published properties.
    QString UserID;
    QString Password;

    // Fired at the end of Connect once the logon has succeeded; this takes the
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

    void Connect() override;
    void Disconnect() override;
    void Abort() override;

    void ListMessages();
    void RetrieveSummary(int MsgNum);
    void DeleteMessage(int MsgNum);
    void Reset();

    int MessageCount() const { return m_messageCount; }
    const TSummary& Summary() const { return m_summary; }
    bool Busy() const { return m_busy; }

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
        explicit BusyScope(TPop3Client& client) : m_client(client) { m_client.m_busy = true; }
        ~BusyScope() { m_client.m_busy = false; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        TPop3Client& m_client;
    };

private:
    void Logon();
    void TakeSummaryLine(const QByteArray& Line);

    TSummary m_summary;
    int m_messageCount = 0;
    bool m_busy = false;
};
