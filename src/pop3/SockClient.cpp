#include "SockClient.h"

#include "SockWaitScope.h"
#include "UiLanguage.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QLoggingCategory>
#include <QSslSocket>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// Every status text, whatever ReportLevel says; off unless enabled.
Q_LOGGING_CATEGORY(lcPop3, "postrella.pop3", QtWarningMsg)

int g_instances = 0;

using SockDetail::guarded;

} // namespace

TSockClient::TSockClient(QObject* parent) : QObject(parent)
{
    InitSockets();
    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, [this] { guarded([this] { stepTimedOut(); }); });
}

TSockClient::~TSockClient()
{
    ReportStatus(8, byLanguage(u"Löschen"_s, u"Clearing"_s));
    m_destroying = true;
    guarded([this] {
        Abort();
        Cancel();
        CloseSocket();
    });
    --g_instances;
}

int TSockClient::InstanceCount()
{
    return g_instances;
}

void TSockClient::InitSockets()
{
    ReportStatus(8, byLanguage(u"Winsock wird initialisiert"_s, u"Initialising Winsock"_s));
    ++g_instances;
    m_socketInfo = {
        u"Version= 1.1"_s,
        byLanguage(u"Hauptversion= 2.2"_s, u"High version= 2.2"_s),
        byLanguage(u"Beschreibung= Qt Network "_s, u"Description= Qt Network "_s) + QLatin1StringView(qVersion()),
        u"System= Running"_s,
        u"Max Sockets= 32767"_s,
        byLanguage(u"Max Upd Pack.-Größe= 65507"_s, u"Max UDP packet size= 65507"_s),
    };
    m_receiveBuffer.resize(MaxLineLength + 2);
}

QSslSocket* TSockClient::socket()
{
    if (m_socket)
        return m_socket;
    // Built on first use, not with the client: the first TLS socket loads
    // and initialises the TLS library, which the program's start should not wait for.
    m_socket = new QSslSocket(this);
    m_socket->setReadBufferSize(0);
    connect(m_socket, &QAbstractSocket::connected, this, [this] { guarded([this] { socketConnected(); }); });
    connect(m_socket, &QAbstractSocket::disconnected, this, [this] { guarded([this] { socketDisconnected(); }); });
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this] { guarded([this] { socketError(); }); });
    connect(m_socket, &QIODevice::readyRead, this, [this] { guarded([this] { dataArrived(); }); });
    connect(m_socket, &QIODevice::bytesWritten, this, &TSockClient::wake);
    // A certificate that does not verify pauses the handshake, so the user
    // can be asked outside the socket's notification.
    m_socket->setPauseMode(QAbstractSocket::PauseOnSslErrors);
    connect(m_socket, &QSslSocket::encrypted, this, [this] {
        m_encrypted = true;
        wake();
        if (m_phase == Phase::Handshake)
            guarded([this] { tlsEncrypted(); });
    });
    connect(m_socket, &QSslSocket::sslErrors, this,
            [this](const QList<QSslError>& errors) { guarded([&] { sslErrors(errors); }); });
    return m_socket;
}

void TSockClient::ReportStatus(int Level, const QString& Text)
{
    qCDebug(lcPop3).noquote() << Level << Text.trimmed();
    if (Level > ReportLevel)
        return;
    m_status = Text;
    if (!m_destroying && OnStatus)
        guarded([&] { OnStatus(this, Text); });
}

void TSockClient::waitUntil(const std::function<bool()>& done)
{
    while (!done()) {
        QEventLoop loop;
        m_loops.append(&loop);
        const int result = loop.exec();
        m_loops.removeOne(&loop);
        // A loop refuses to run once the program is ending; waiting on would
        // spin for ever, so the wait is cancelled instead.
        if (result < 0)
            Cancel();
    }
}

void TSockClient::wake()
{
    for (QEventLoop* loop : std::as_const(m_loops))
        loop->quit();
}

bool TSockClient::TimerActive() const
{
    if (m_stepTimer.isActive())
        return true;
    for (const WaitScope* wait : m_waits) {
        if (wait->timer.isActive())
            return true;
    }
    return false;
}

void TSockClient::TimerExpired()
{
    if (!m_waits.isEmpty()) {
        expire(m_waits.constLast());
        return;
    }
    if (m_phase != Phase::None || m_stepTimer.isActive()) {
        stepTimedOut();
        return;
    }
    ReportStatus(8, byLanguage(u"Zeitgeber ausgelöst"_s, u"Timer fired"_s));
    m_timedOut = true;
    Abort();
}

void TSockClient::expire(WaitScope* wait)
{
    ReportStatus(8, byLanguage(u"Zeitgeber ausgelöst"_s, u"Timer fired"_s));
    wait->timer.stop();
    wait->timedOut = true;
    m_timedOut = true;
    m_eventArrived = true;
    wake();
    // The connection is given up: whatever still comes belongs to the
    // operation that timed out.
    Abort();
}

void TSockClient::Cancel()
{
    ReportStatus(8, byLanguage(u"Beim Abbrechen"_s, u"While aborting"_s));
    m_canceled = true;
    // Every wait under way ends, not only the innermost: the one outside a
    // nested wait would otherwise miss the cancel that the inner one took.
    for (WaitScope* wait : std::as_const(m_waits))
        wait->canceled = true;
    wake();
    // A step without a wait ends as well, unless a blocking wait takes the cancel.
    if (m_waits.isEmpty() && !m_destroying)
        stepCanceled();
}

void TSockClient::Abort()
{
    ReportStatus(8, byLanguage(u"Abbrechen"_s, u"Aborting"_s));
    Cancel();
}

void TSockClient::hostFound(const QHostInfo& info)
{
    if (info.lookupId() != m_lookupId)
        return;
    m_lookupId = -1;
    m_lookupAddress.clear();
    m_eventArrived = true;
    m_succeeded = info.error() == QHostInfo::NoError && !info.addresses().isEmpty();
    if (!m_succeeded) {
        m_lastError = info.error() == QHostInfo::HostNotFound ? WinSock::HostNotFound : 11002;
    } else {
        // The connection is made over IPv4 where the name has such an address.
        m_lookupAddress = info.addresses().constFirst();
        for (const QHostAddress& a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                m_lookupAddress = a;
                break;
            }
        }
    }
    wake();
    if (m_phase == Phase::Lookup)
        lookupDone();
}

void TSockClient::Connect()
{
    bool done = false;
    std::exception_ptr failure;
    BeginConnect([&](std::exception_ptr f) {
        failure = f;
        done = true;
    });
    WaitForStep([&] { return done; }, true);
    if (!failure && UseTls)
        StartTls();
    if (failure)
        std::rethrow_exception(failure);
}

void TSockClient::socketConnected()
{
    m_succeeded = true;
    m_connected = true;
    wake();
    const bool stepDone = m_phase == Phase::Connecting;
    if (stepDone) {
        m_phase = Phase::None;
        StopTimeOut();
    }
    if (OnConnect)
        OnConnect(this);
    if (stepDone)
        finishStep(nullptr);
}

void TSockClient::socketDisconnected()
{
    wake();
    if (m_closing)
        return;
    if (m_phase == Phase::Handshake || m_phase == Phase::TrustPause) {
        try {
            failHandshake(byLanguage(u"Die Verbindung wurde während des TLS-Handshakes geschlossen"_s,
                                     u"The connection was closed during the TLS handshake"_s));
        } catch (...) {
            finishStep(std::current_exception());
        }
        return;
    }
    // Lines still waiting are read first; the read that finds nothing more
    // closes the connection on our side. What a server sends as it ends an
    // idle session (a goodbye nobody asked for) is read by nobody, so it
    // must not keep the connection looking open.
    if (!DataAvailable() || (!Waiting() && !AnswerDue()))
        CloseSocket();
    // Lines read without a wait learn of the close from the read that finds nothing.
    if (m_lineReading && m_waits.isEmpty())
        handOnLines();
}

void TSockClient::socketError()
{
    const QAbstractSocket::SocketError error = socket()->error();
    // An orderly close by the server is the close notification, not a
    // failure: no error number is left behind for later messages.
    if (error != QAbstractSocket::RemoteHostClosedError) {
        m_lastError = WinSock::fromSocketError(error);
        m_succeeded = false;
    }
    wake();
    if (m_phase == Phase::Connecting && !m_succeeded) {
        connectFailed(byLanguage(u"Verbindung fehlgeschlagen"_s, u"Connection failed"_s));
    } else if (m_phase == Phase::Handshake && !m_succeeded) {
        try {
            failHandshake(byLanguage(u"TLS-Handshake fehlgeschlagen (spricht der Server auf diesem Port TLS?): "_s,
                                     u"TLS handshake failed (does the server speak TLS on this port?): "_s) +
                          socket()->errorString());
        } catch (...) {
            finishStep(std::current_exception());
        }
    }
}

void TSockClient::CloseSocket()
{
    ReportStatus(4, byLanguage(u"Schließen des Socket anfordern"_s, u"Requesting the socket to close"_s));
    m_connected = false;
    m_closing = true;
    if (m_socket)
        m_socket->abort();
    m_closing = false;
    wake();
    if (!m_destroying)
        socketClosed();
    if (!m_destroying && OnDisconnect)
        OnDisconnect(this);
}

void TSockClient::Disconnect()
{
    ReportStatus(8, byLanguage(u"Verbindung wird abgebrochen"_s, u"Aborting the connection"_s));
    CloseSocket();
}

void TSockClient::raiseSocketError(int error)
{
    m_lastError = error;
    throw ESockError(ErrorText(error));
}

void TSockClient::sendBytes(QByteArray bytes)
{
    ReportStatus(4, byLanguage(u"Puffer senden"_s, u"Sending buffer"_s));
    WaitScope wait(*this);
    if (!wait.ended()) {
        if (socket()->state() != QAbstractSocket::ConnectedState)
            raiseSocketError(WinSock::NotConnected);
        m_succeeded = true;
        socket()->write(bytes);
        socket()->flush();
        waitUntil([&] {
            return socket()->bytesToWrite() == 0 || wait.ended() || !m_succeeded ||
                   socket()->state() != QAbstractSocket::ConnectedState;
        });
        if (!wait.ended() && !m_succeeded)
            raiseSocketError(m_lastError);
    }
    if (wait.ended()) {
        m_canceled = false;
        throw EAbortError(byLanguage(u"Socket-send abgebrochen"_s, u"Socket send aborted"_s));
    }
}

void TSockClient::SendBuffer(const char* Buffer, quint16 Length)
{
    const qsizetype size = Length != 0 ? Length : qsizetype(strnlen(Buffer, 65535));
    sendBytes(QByteArray(Buffer, size));
}

void TSockClient::Write(const QByteArray& Text)
{
    ReportStatus(8, byLanguage(u"Schreiben"_s, u"Writing"_s));
    // The text travels as a C string of at most 64 KiB: a NUL ends it.
    QByteArray bytes = Text.left(MaxLineLength);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    sendBytes(std::move(bytes));
}

void TSockClient::Writeln(const QByteArray& Text)
{
    ReportStatus(8, u"Writeln"_s);
    Write(Text + "\r\n");
}

QByteArray TSockClient::ReadLn()
{
    ReportStatus(8, u"ReadLn"_s);
    WaitScope wait(*this);
    const auto ready = [&] {
        return wait.ended() || socket()->canReadLine() || socket()->bytesAvailable() >= MaxLineLength ||
               socket()->state() != QAbstractSocket::ConnectedState;
    };
    for (;;) {
        if (wait.ended()) {
            m_canceled = false;
            throw EAbortError(byLanguage(u"Socket-readln abgebrochen"_s, u"Socket readln aborted"_s));
        }
        QByteArray line;
        if (takeLine(line))
            return line;
        if (socket()->state() != QAbstractSocket::ConnectedState) {
            // The server has closed and no complete line is left.
            if (m_connected)
                CloseSocket();
            return {};
        }
        waitUntil(ready);
    }
}

void TSockClient::overlongLine()
{
    // The rest of the line would be taken for the next reply: the connection
    // cannot be used any further.
    CloseSocket();
    throw ESockError(byLanguage(u"Antwortzeile länger als 65536 Bytes, Verbindung getrennt"_s,
                                u"Answer line longer than 65536 bytes, connection closed"_s));
}

void TSockClient::Post(const QByteArray& Bytes)
{
    ReportStatus(8, byLanguage(u"Puffer senden"_s, u"Sending buffer"_s));
    if (socket()->state() != QAbstractSocket::ConnectedState)
        raiseSocketError(WinSock::NotConnected);
    socket()->write(Bytes);
    socket()->flush();
}

QByteArray TSockClient::Transaction(const QByteArray& Command)
{
    ReportStatus(8, byLanguage(u"Transaktion"_s, u"Transaction"_s));
    Writeln(Command);
    return ReadReply();
}

QByteArray TSockClient::ReadReply()
{
    m_replyNumber = 0;
    const QByteArray reply = ReadLn();
    NoteReply(reply);
    return reply;
}

void TSockClient::VerifyConnected()
{
    ReportStatus(8, byLanguage(u"Überprüfung der Verbindung"_s, u"Checking the connection"_s));
    bool asked = false;
    while (!m_connected) {
        if (asked || !OnConnectionRequired)
            throw Exception(byLanguage(u"Nicht verbunden"_s, u"Not connected"_s));
        bool handled = false;
        OnConnectionRequired(handled);
        asked = true;
        if (!handled)
            throw Exception(byLanguage(u"Nicht verbunden"_s, u"Not connected"_s));
    }
}

bool TSockClient::DataAvailable()
{
    ReportStatus(8, byLanguage(u"Daten verfügbar"_s, u"Data available"_s));
    return m_socket && m_socket->bytesAvailable() > 0;
}

void TSockClient::FlushInput()
{
    ReportStatus(8, byLanguage(u"Löschen der Eingabe"_s, u"Clearing the input"_s));
    if (m_socket)
        m_socket->read(MaxLineLength);
}

int TSockClient::LastError()
{
    ReportStatus(8, byLanguage(u"Letzte Fehlernummer wird gelesen"_s, u"Reading the last error number"_s));
    return m_lastError;
}
