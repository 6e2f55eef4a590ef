#pragma once

#include "CertificateTrust.h"
#include "SockErrors.h"

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QEventLoop;
class QHostInfo;
class QSslSocket;

// Event types of the socket and mail components. Notify events pass the
// component; handler events pass a flag that starts false and that the
// handler sets to ask for one more try.
using TNotifyEvent = std::function<void(QObject* Sender)>;
using THandlerEvent = std::function<void(bool& Handled)>;
using TOnStatus = std::function<void(QObject* Sender, const QString& Status)>;
using TOnHostResolved = TNotifyEvent;

// What the user needs to decide whether to trust a certificate that did not
// verify. Fingerprint is the SHA-256 digest in lowercase hex.
struct TCertificateInfo
{
    QStringList Reasons;
    QString Subject;
    QString Issuer;
    QDateTime ValidFrom;
    QDateTime ValidUntil;
    QString Fingerprint;
    // A certificate was trusted for this server before, but not this one.
    bool Changed = false;
    // This very certificate was trusted, but it shows these errors now that
    // it did not show then.
    QStringList NewReasons;
    // What a trust given now is to be stored with.
    QString Server;
    QString Errors;
};
// Asked while the handshake is paused; Accept starts false.
using TOnCertificateUntrusted = std::function<void(const TCertificateInfo& Info, bool& Accept)>;

// One TCP client connection on the GUI thread: name lookup, connect, sending
// lines and reading reply lines. Every wait is a nested event loop that blocks
// in the event dispatcher until its condition, the time-out or a cancel, so
// the window stays responsive and user commands may run inside a wait.
// The socket is a QSslSocket: plain, TLS from the first byte (UseTls), or
// switched to TLS on the open connection (StartTls).
class TSockClient : public QObject
{
    Q_OBJECT

public:
    // A reply line never exceeds this, line end included.
    static constexpr qsizetype MaxLineLength = 65536;

    explicit TSockClient(QObject* parent = nullptr);
    ~TSockClient() override;

    // Published properties.
    QString Host;
    int Port = 0;
    int TimeOut = 0;     // milliseconds per wait; 0 = no limit
    int ReportLevel = 0; // status texts up to this level are reported

    TNotifyEvent OnConnect;
    TNotifyEvent OnDisconnect;
    THandlerEvent OnInvalidHost;
    TOnHostResolved OnHostResolved;
    TOnStatus OnStatus;
    TNotifyEvent OnConnectionFailed;
    THandlerEvent OnConnectionRequired;
    TNotifyEvent OnPacketRecvd;

    // TLS from the first byte: Connect returns only after the handshake.
    bool UseTls = false;
    // A certificate the user trusts although it does not verify, for the
    // server and the errors it was trusted for.
    TCertificateTrust Trusted;
    // Authorities trusted beside the system's, for this client only.
    QList<QSslCertificate> ExtraAuthorities;
    TOnCertificateUntrusted OnCertificateUntrusted;

    virtual void Connect();
    virtual void Disconnect();
    virtual QByteArray Transaction(const QByteArray& Command);
    virtual void Abort();
    // The TLS handshake on the open connection, verified against Host. On any
    // failure the connection is closed before the exception leaves.
    void StartTls();

    void Cancel();
    void VerifyConnected();
    // Length 0 sends up to the first NUL byte.
    void SendBuffer(const char* Buffer, quint16 Length);
    void Write(const QByteArray& Text);
    void Writeln(const QByteArray& Text);
    // Hands the bytes to the connection without waiting until they are sent;
    // the next read's wait sends them while it reads, so a stream of commands
    // and their answers never block each other.
    void Post(const QByteArray& Bytes);
    // One line with its line end as received; empty when the server closed.
    QByteArray ReadLn();
    bool DataAvailable();
    void FlushInput();
    int LastError();

    // Read-only state.
    const QString& Status() const { return m_status; }
    const QByteArray& LastReply() const { return m_lastReply; }
    qint16 ReplyNumber() const { return m_replyNumber; }
    bool Connected() const { return m_connected; }
    bool Canceled() const { return m_canceled; }
    bool TimedOut() const { return m_timedOut; }
    const QStringList& SocketInfo() const { return m_socketInfo; }
    QHostAddress RemoteAddress() const { return m_remoteAddress; }
    bool Encrypted() const;
    // Protocol and cipher of the encrypted connection; empty when plain.
    QString EncryptionText() const;
    static QString Fingerprint(const QSslCertificate& Certificate);

    // Fires the time-out of the innermost wait; public so a test can fire it
    // at a chosen point instead of waiting for it.
    void TimerExpired();
    // Whether a wait's time-out is running.
    bool TimerActive() const;
    // Whether an operation is waiting for the server, so a caller inside the
    // wait (a user's command) knows it would interleave with it.
    bool Waiting() const { return !m_waits.isEmpty(); }

    // Number of live instances in the process.
    static int InstanceCount();

protected:
    void ReportStatus(int Level, const QString& Text);
    // Whether a command still waits for its answer, so lines left after the
    // server closed belong to it.
    virtual bool AnswerDue() const { return true; }
    // The reply half of Transaction: reads one line, reports it and takes its reply number.
    QByteArray ReadReply();
    void CloseSocket();
    bool isDestroying() const { return m_destroying; }

private:
    // One operation's wait: its own time-out and its own cancel flag, so a
    // wait nested inside it (a command run from its event loop) can neither
    // stop its timer nor swallow its cancel.
    class WaitScope;

    void InitSockets();
    QSslSocket* socket();
    void ResolveHost();
    void expire(WaitScope* wait);
    void sendBytes(QByteArray bytes);
    [[noreturn]] void raiseSocketError(int error);
    [[noreturn]] void overlongLine();
    // Runs nested event loops until done() holds; wake() ends the running ones
    // so they look at their condition again.
    void waitUntil(const std::function<bool()>& done);
    void wake();

    void socketConnected();
    void socketDisconnected();
    void socketError();
    void hostFound(const QHostInfo& info);
    void sslErrors(const QList<QSslError>& errors);
    // Whether the handshake paused on these errors may go on.
    bool acceptCertificate();
    [[noreturn]] void failHandshake(const QString& reason);

    QSslSocket* m_socket = nullptr;
    QList<WaitScope*> m_waits;
    QList<QEventLoop*> m_loops;
    QStringList m_socketInfo;
    QString m_status;
    QByteArray m_lastReply;
    QByteArray m_receiveBuffer;
    QHostAddress m_remoteAddress;
    QHostAddress m_lookupAddress;
    int m_lastError = 0;
    int m_lookupId = -1;
    qint16 m_replyNumber = 0;
    bool m_connected = false;
    bool m_canceled = false;
    bool m_timedOut = false;
    bool m_succeeded = true;
    bool m_eventArrived = false;
    bool m_destroying = false;
    bool m_closing = false;
    bool m_encrypted = false;
    bool m_sslPaused = false;
    QList<QSslError> m_sslErrors;
};
