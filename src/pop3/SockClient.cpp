#include "SockClient.h"

#include "AnsiText.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSslSocket>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// Every status text, whatever ReportLevel says; off unless enabled.
Q_LOGGING_CATEGORY(lcPop3, "postrella.pop3", QtWarningMsg)

int g_instances = 0;

const QString kLookupTimedOut = u"Zeitüberschreitung bei Host-Lookup"_s;
const QString kLookupCanceled = u"Host-Lookup abgebrochen"_s;

// Runs a callback from a socket or timer notification. Nothing may escape
// into Qt's event loop; the socket layer drops such failures by design.
template <typename F> void guarded(F&& f)
{
    try {
        f();
    } catch (...) {
    }
}

} // namespace

TSockClient::TSockClient(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { guarded([this] { TimerExpired(); }); });
    InitSockets();
}

TSockClient::~TSockClient()
{
    ReportStatus(8, u"Löschen"_s);
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
    ReportStatus(8, u"Winsock wird initialisiert"_s);
    ++g_instances;
    m_socketInfo = {
        u"Version= 1.1"_s,    u"Hauptversion= 2.2"_s,  u"Beschreibung= Qt Network "_s + QLatin1StringView(qVersion()),
        u"System= Running"_s, u"Max Sockets= 32767"_s, u"Max Upd Pack.-Größe= 65507"_s,
    };
    m_receiveBuffer.resize(MaxLineLength + 2);
    m_socket = new QSslSocket(this);
    m_socket->setReadBufferSize(0);
    connect(m_socket, &QAbstractSocket::connected, this, [this] { guarded([this] { socketConnected(); }); });
    connect(m_socket, &QAbstractSocket::disconnected, this, [this] { guarded([this] { socketDisconnected(); }); });
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this] { guarded([this] { socketError(); }); });
    connect(m_socket, &QIODevice::readyRead, this, &TSockClient::wake);
    connect(m_socket, &QIODevice::bytesWritten, this, &TSockClient::wake);
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

void TSockClient::StartTimer()
{
    ReportStatus(8, u"Zeitgeber An"_s);
    m_timedOut = false;
    if (TimeOut > 0)
        m_timer.start(TimeOut);
}

void TSockClient::StopTimer()
{
    ReportStatus(8, u"Zeitgeber Aus"_s);
    m_timer.stop();
}

void TSockClient::TimerExpired()
{
    ReportStatus(8, u"Zeitgeber ausgelöst"_s);
    StopTimer();
    m_timedOut = true;
    m_eventArrived = true;
    wake();
    Abort();
}

void TSockClient::Cancel()
{
    ReportStatus(8, u"Beim Abbrechen"_s);
    m_canceled = true;
    wake();
}

void TSockClient::Abort()
{
    ReportStatus(8, u"Abbrechen"_s);
    Cancel();
}

void TSockClient::ResolveHost()
{
    ReportStatus(8, u"Auf Host zurückschreiben"_s);
    QHostAddress dotted;
    if (dotted.setAddress(Host) && dotted.protocol() == QAbstractSocket::IPv4Protocol) {
        m_remoteAddress = dotted;
        return;
    }
    m_remoteAddress.clear();
    StartTimer();
    m_eventArrived = false;
    m_succeeded = true;
    m_lookupId = QHostInfo::lookupHost(Host, this, [this](const QHostInfo& info) { hostFound(info); });
    waitUntil([this] { return m_eventArrived || m_timedOut || m_canceled; });
    StopTimer();
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    if (m_timedOut)
        throw ESockError(kLookupTimedOut);
    if (m_canceled)
        throw ESockError(kLookupCanceled);
    if (!m_succeeded || m_lookupAddress.isNull())
        throw ESockError(u"Host-Lookup fehlgeschlagen"_s);
    m_remoteAddress = m_lookupAddress;
    if (OnHostResolved)
        OnHostResolved(this);
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
}

void TSockClient::Connect()
{
    ReportStatus(8, u"Herstellen der Verbindung"_s);
    m_canceled = false;
    if (m_connected)
        throw ESockError(u"Bereits verbunden"_s);

    for (int retry = 0;; ++retry) {
        try {
            ResolveHost();
        } catch (const ESockError& e) {
            if (e.message() == kLookupTimedOut || e.message() == kLookupCanceled)
                throw;
        }
        if (!m_remoteAddress.isNull())
            break;
        bool handled = false;
        if (retry > 0 || !OnInvalidHost)
            throw ESockError(u"Null Externe Adresse"_s);
        OnInvalidHost(handled);
        if (!handled)
            throw ESockError(u"Null Externe Adresse"_s);
    }

    m_eventArrived = false;
    m_succeeded = true;
    if (m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_closing = true;
        m_socket->abort();
        m_closing = false;
    }
    m_socket->connectToHost(m_remoteAddress, static_cast<quint16>(Port));
    StartTimer();
    waitUntil([this] { return m_connected || m_timedOut || m_canceled || !m_succeeded; });
    StopTimer();
    if (!m_timedOut && !m_canceled && m_succeeded)
        return;

    // A connect still under way must not linger into the next attempt.
    m_closing = true;
    m_socket->abort();
    m_closing = false;
    m_connected = false;
    if (OnConnectionFailed)
        OnConnectionFailed(this);
    if (m_timedOut)
        throw ESockError(u"Zeitüberschreitung bei Verbindung"_s);
    if (m_canceled)
        throw ESockError(u"Verbindung abgebrochen"_s);
    throw ESockError(u"Verbindung fehlgeschlagen"_s);
}

void TSockClient::socketConnected()
{
    m_succeeded = true;
    m_connected = true;
    wake();
    if (OnConnect)
        OnConnect(this);
}

void TSockClient::socketDisconnected()
{
    wake();
    if (m_closing)
        return;
    // Lines still waiting are read first; the read that finds nothing more
    // closes the connection on our side.
    if (!DataAvailable())
        CloseSocket();
}

void TSockClient::socketError()
{
    const QAbstractSocket::SocketError error = m_socket->error();
    m_lastError = WinSock::fromSocketError(error);
    // An orderly close by the server is the close notification, not a failure.
    if (error != QAbstractSocket::RemoteHostClosedError)
        m_succeeded = false;
    wake();
}

void TSockClient::CloseSocket()
{
    ReportStatus(4, u"Schließen des Socket anfordern"_s);
    m_connected = false;
    m_closing = true;
    m_socket->abort();
    m_closing = false;
    wake();
    if (!m_destroying && OnDisconnect)
        OnDisconnect(this);
}

void TSockClient::Disconnect()
{
    ReportStatus(8, u"Verbindung wird abgebrochen"_s);
    CloseSocket();
}

void TSockClient::raiseSocketError(int error)
{
    m_lastError = error;
    throw ESockError(ErrorText(error));
}

void TSockClient::sendBytes(QByteArray bytes)
{
    ReportStatus(4, u"Puffer senden"_s);
    StartTimer();
    const auto stop = qScopeGuard([this] { StopTimer(); });
    if (!m_canceled) {
        if (m_socket->state() != QAbstractSocket::ConnectedState)
            raiseSocketError(WinSock::NotConnected);
        m_succeeded = true;
        m_socket->write(bytes);
        m_socket->flush();
        waitUntil([this] {
            return m_socket->bytesToWrite() == 0 || m_canceled || !m_succeeded ||
                   m_socket->state() != QAbstractSocket::ConnectedState;
        });
        if (!m_canceled && !m_succeeded)
            raiseSocketError(m_lastError);
    }
    if (m_canceled) {
        m_canceled = false;
        throw EAbortError(u"Socket-send abgebrochen"_s);
    }
}

void TSockClient::SendBuffer(const char* Buffer, quint16 Length)
{
    const qsizetype size = Length != 0 ? Length : qsizetype(strnlen(Buffer, 65535));
    sendBytes(QByteArray(Buffer, size));
}

void TSockClient::Write(const QByteArray& Text)
{
    ReportStatus(8, u"Schreiben"_s);
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
    StartTimer();
    const auto stop = qScopeGuard([this] { StopTimer(); });
    const auto ready = [this] {
        return m_canceled || m_socket->canReadLine() || m_socket->bytesAvailable() >= MaxLineLength ||
               m_socket->state() != QAbstractSocket::ConnectedState;
    };
    for (;;) {
        if (m_canceled) {
            m_canceled = false;
            throw EAbortError(u"Socket-readln abgebrochen"_s);
        }
        if (m_socket->canReadLine()) {
            // Into the fixed receive buffer: one byte more than a line may have
            // tells an over-long line, and nothing is allocated per line.
            const qint64 n = m_socket->readLine(m_receiveBuffer.data(), MaxLineLength + 2);
            if (n > 0 && n <= MaxLineLength && m_receiveBuffer.at(n - 1) == '\n')
                return QByteArray(m_receiveBuffer.constData(), n);
            overlongLine();
        }
        if (m_socket->bytesAvailable() >= MaxLineLength)
            overlongLine();
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
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
    throw ESockError(u"Antwortzeile länger als 65536 Bytes, Verbindung getrennt"_s);
}

void TSockClient::Post(const QByteArray& Bytes)
{
    ReportStatus(8, u"Puffer senden"_s);
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        raiseSocketError(WinSock::NotConnected);
    m_socket->write(Bytes);
    m_socket->flush();
}

QByteArray TSockClient::Transaction(const QByteArray& Command)
{
    ReportStatus(8, u"Transaktion"_s);
    Writeln(Command);
    return ReadReply();
}

QByteArray TSockClient::ReadReply()
{
    m_replyNumber = 0;
    const QByteArray reply = ReadLn();
    m_lastReply = reply;
    if (!reply.isEmpty()) {
        ReportStatus(1, AnsiText::fromAnsi(reply));
        qsizetype digits = 0;
        while (digits < reply.size() && digits < 10 && reply.at(digits) >= '0' && reply.at(digits) <= '9')
            ++digits;
        if (digits > 0) {
            const qint64 number = reply.left(digits).toLongLong();
            if (number > 32767)
                throw ESockError(u"Antwortnummer außerhalb des Bereichs: "_s + QString::number(number));
            m_replyNumber = static_cast<qint16>(number);
        }
    }
    return reply;
}

void TSockClient::VerifyConnected()
{
    ReportStatus(8, u"Überprüfung der Verbindung"_s);
    bool asked = false;
    while (!m_connected) {
        if (asked || !OnConnectionRequired)
            throw Exception(u"Nicht verbunden"_s);
        bool handled = false;
        OnConnectionRequired(handled);
        asked = true;
        if (!handled)
            throw Exception(u"Nicht verbunden"_s);
    }
}

bool TSockClient::DataAvailable()
{
    ReportStatus(8, u"Daten verfügbar"_s);
    return m_socket->bytesAvailable() > 0;
}

void TSockClient::FlushInput()
{
    ReportStatus(8, u"Löschen der Eingabe"_s);
    m_socket->read(MaxLineLength);
}

int TSockClient::LastError()
{
    ReportStatus(8, u"Letzte Fehlernummer wird gelesen"_s);
    return m_lastError;
}
