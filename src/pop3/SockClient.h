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
#include <exception>
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
// lines and reading reply lines. Each step also runs without a wait (its
// outcome comes from the event loop, lines are handed on as they arrive); the
// blocking calls wait on those steps. Every wait is a nested event loop that
// blocks in the event dispatcher until its condition, the time-out or a
// cancel, so the window stays responsive and user commands may run inside it.
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

    // Fires the time-out of the innermost wait, or of the step under way when
    // nothing waits; public so a test can fire it at a chosen point instead of
    // waiting for it.
    void TimerExpired();
    // Whether a wait's or a step's time-out is running.
    bool TimerActive() const;
    // Whether an operation is waiting for the server, so a caller inside the
    // wait (a user's command) knows it would interleave with it.
    virtual bool Waiting() const { return !m_waits.isEmpty() || m_stepWaits > 0; }

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

    // The steps without a wait. Each returns at once; its outcome comes from
    // the event loop, null when it succeeded. The time-out runs meanwhile.
    using TStepDone = std::function<void(std::exception_ptr Failure)>;
    // Look-up (with one more try after OnInvalidHost) and connect; no TLS.
    void BeginConnect(TStepDone Done);
    // The TLS handshake on the open connection. A certificate that does not
    // verify and is not trusted pauses it: Ask gets what the user needs to
    // decide, and ContinueTls goes on or gives up. No time-out runs meanwhile.
    void BeginTls(TStepDone Done, std::function<void(const TCertificateInfo&)> Ask);
    void ContinueTls(bool Accept);
    // Whether a connect or handshake step is under way.
    bool StepRunning() const { return m_phase != Phase::None; }

    // Reading lines without a wait: while on, lineArrived is called from the
    // socket's notifications whenever no blocking read waits, and TryReadLn
    // takes one line if a whole one is there.
    enum class ReadResult
    {
        Line,
        Nothing,
        Closed, // the server has closed and no whole line is left; closed on our side too
    };
    ReadResult TryReadLn(QByteArray& Line);
    void SetLineReading(bool On);
    virtual void lineArrived() {}
    // The connection has been closed on our side.
    virtual void socketClosed() {}
    // The time-out of an answer due without a wait: started here, restarted
    // whenever data arrives, stopped by StopTimeOut.
    void StartTimeOut();
    void StopTimeOut();
    // The time-out ran out, or Cancel came, while lines were read without a
    // wait and no connect or handshake step ran.
    virtual void readTimedOut() {}
    virtual void readCanceled() {}
    // Reports a reply line and takes its reply number, as ReadReply does.
    void NoteReply(const QByteArray& Reply);
    // Runs the event loop until Done holds. A wait that Counts is seen by
    // Waiting(); lines keep going to lineArrived either way.
    void WaitForStep(const std::function<bool()>& Done, bool Counts);
    // Whether received bytes wait to be read; reports nothing.
    bool BytesWaiting() const;
    // Whether a blocking read waits for lines: then nobody else may take them.
    bool BlockingRead() const { return !m_waits.isEmpty(); }
    void wake();
    // While set, arriving lines wait for whoever clears it.
    bool m_holdLines = false;

private:
    enum class Phase
    {
        None,
        Starting,
        Lookup,
        Connecting,
        Handshake,
        TrustPause,
    };
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

    void socketConnected();
    void socketDisconnected();
    void socketError();
    void hostFound(const QHostInfo& info);
    void sslErrors(const QList<QSslError>& errors);
    [[noreturn]] void failHandshake(const QString& reason);
    // One whole line from the socket, if there is one; fails on an over-long line.
    bool takeLine(QByteArray& line);
    void lookUp();
    void lookupDone();
    void beginSocketConnect();
    void connectFailed(const QString& text);
    void finishStep(std::exception_ptr failure);
    void failStep(const QString& text);
    void stepTimedOut();
    void stepCanceled();
    void tlsEncrypted();
    void tlsPaused();
    // What the user is to be asked about the paused handshake's certificate;
    // empty Fingerprint when it is trusted already, throws when it is refused.
    bool judgeCertificate(TCertificateInfo& info);
    void dataArrived();
    // Lines are handed on from a zero timer, never from inside the socket's
    // own notification: a handler that waits for more data there would never
    // be told of it.
    void handOnLines();

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
    Phase m_phase = Phase::None;
    TStepDone m_stepDone;
    std::function<void(const TCertificateInfo&)> m_askTrust;
    QTimer m_stepTimer;
    int m_stepWaits = 0;
    int m_lookupTries = 0;
    bool m_lineReading = false;
    bool m_lineCallPending = false;
};
