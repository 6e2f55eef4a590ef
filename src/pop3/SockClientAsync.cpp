// The socket client's steps without a wait: look-up and connect, lines read
// as they arrive, and the time-out of an answer due meanwhile.
#include "AnsiText.h"
#include "SockWaitScope.h"
#include "UiLanguage.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QSslSocket>

using namespace Qt::StringLiterals;
using SockDetail::guarded;

void TSockClient::BeginConnect(TStepDone Done)
{
    ReportStatus(8, byLanguage(u"Herstellen der Verbindung"_s, u"Connecting"_s));
    m_stepDone = std::move(Done);
    if (m_connected || m_phase != Phase::None) {
        // Told from the event loop like every other outcome.
        QTimer::singleShot(0, this, [this] {
            guarded([this] {
                const TStepDone done = std::move(m_stepDone);
                if (done)
                    done(std::make_exception_ptr(
                        ESockError(byLanguage(u"Bereits verbunden"_s, u"Already connected"_s))));
            });
        });
        return;
    }
    m_canceled = false;
    // A new connection starts without the failures of the one before.
    m_lastError = 0;
    m_lookupTries = 0;
    m_phase = Phase::Starting;
    QTimer::singleShot(0, this, [this] {
        guarded([this] {
            if (m_phase == Phase::Starting)
                lookUp();
        });
    });
}

void TSockClient::lookUp()
{
    ReportStatus(8, byLanguage(u"Auf Host zurückschreiben"_s, u"Writing back to the host"_s));
    QHostAddress dotted;
    if (dotted.setAddress(Host) && dotted.protocol() == QAbstractSocket::IPv4Protocol) {
        m_remoteAddress = dotted;
        beginSocketConnect();
        return;
    }
    m_remoteAddress.clear();
    m_phase = Phase::Lookup;
    m_succeeded = true;
    StartTimeOut();
    m_lookupId =
        QHostInfo::lookupHost(Host, this, [this](const QHostInfo& info) { guarded([&] { hostFound(info); }); });
}

void TSockClient::lookupDone()
{
    StopTimeOut();
    if (!m_succeeded || m_lookupAddress.isNull()) {
        bool handled = false;
        if (m_lookupTries == 0 && OnInvalidHost)
            OnInvalidHost(handled);
        if (!handled || m_lookupTries > 0) {
            failStep(byLanguage(u"Null Externe Adresse"_s, u"Null external address"_s));
            return;
        }
        ++m_lookupTries;
        lookUp();
        return;
    }
    m_remoteAddress = m_lookupAddress;
    if (OnHostResolved)
        OnHostResolved(this);
    beginSocketConnect();
}

void TSockClient::beginSocketConnect()
{
    m_succeeded = true;
    if (socket()->state() != QAbstractSocket::UnconnectedState) {
        m_closing = true;
        socket()->abort();
        m_closing = false;
    }
    m_phase = Phase::Connecting;
    StartTimeOut();
    socket()->connectToHost(m_remoteAddress, static_cast<quint16>(Port));
}

void TSockClient::connectFailed(const QString& text)
{
    // A connect still under way must not linger into the next attempt; the
    // step is over before the abort can tell of it once more.
    m_phase = Phase::None;
    m_closing = true;
    socket()->abort();
    m_closing = false;
    m_connected = false;
    StopTimeOut();
    if (OnConnectionFailed)
        OnConnectionFailed(this);
    failStep(text);
}

void TSockClient::failStep(const QString& text)
{
    finishStep(std::make_exception_ptr(ESockError(text)));
}

void TSockClient::finishStep(std::exception_ptr failure)
{
    m_phase = Phase::None;
    StopTimeOut();
    m_askTrust = {};
    const TStepDone done = std::move(m_stepDone);
    m_stepDone = {};
    wake();
    if (done)
        done(failure);
}

void TSockClient::stepTimedOut()
{
    ReportStatus(8, byLanguage(u"Zeitgeber ausgelöst"_s, u"Timer fired"_s));
    m_timedOut = true;
    m_stepTimer.stop();
    switch (m_phase) {
    case Phase::None:
        readTimedOut();
        return;
    case Phase::Starting:
    case Phase::Lookup:
        if (m_lookupId >= 0)
            QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
        m_lastError = WinSock::TimedOut;
        failStep(byLanguage(u"Zeitüberschreitung bei Host-Lookup"_s, u"Time-out during host look-up"_s));
        return;
    case Phase::Connecting:
        m_lastError = WinSock::TimedOut;
        connectFailed(byLanguage(u"Zeitüberschreitung bei Verbindung"_s, u"Time-out while connecting"_s));
        return;
    case Phase::Handshake:
    case Phase::TrustPause:
        break;
    }
    try {
        failHandshake(byLanguage(u"Zeitüberschreitung beim TLS-Handshake"_s, u"Time-out during the TLS handshake"_s));
    } catch (...) {
        finishStep(std::current_exception());
    }
}

void TSockClient::stepCanceled()
{
    switch (m_phase) {
    case Phase::None:
        if (m_lineReading)
            readCanceled();
        return;
    case Phase::Starting:
    case Phase::Lookup:
        if (m_lookupId >= 0)
            QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
        failStep(byLanguage(u"Host-Lookup abgebrochen"_s, u"Host look-up aborted"_s));
        return;
    case Phase::Connecting:
        connectFailed(byLanguage(u"Verbindung abgebrochen"_s, u"Connection aborted"_s));
        return;
    case Phase::Handshake:
    case Phase::TrustPause:
        break;
    }
    m_canceled = false;
    try {
        failHandshake(byLanguage(u"TLS-Handshake abgebrochen"_s, u"TLS handshake aborted"_s));
    } catch (...) {
        finishStep(std::current_exception());
    }
}

bool TSockClient::takeLine(QByteArray& line)
{
    if (socket()->canReadLine()) {
        // Into the fixed receive buffer: one byte more than a line may have
        // tells an over-long line, and nothing is allocated per line.
        const qint64 n = socket()->readLine(m_receiveBuffer.data(), MaxLineLength + 2);
        if (n > 0 && n <= MaxLineLength && m_receiveBuffer.at(n - 1) == '\n') {
            line = QByteArray(m_receiveBuffer.constData(), n);
            return true;
        }
        overlongLine();
    }
    if (socket()->bytesAvailable() >= MaxLineLength)
        overlongLine();
    return false;
}

TSockClient::ReadResult TSockClient::TryReadLn(QByteArray& Line)
{
    if (takeLine(Line))
        return ReadResult::Line;
    if (socket()->state() == QAbstractSocket::ConnectedState)
        return ReadResult::Nothing;
    // The server has closed and no complete line is left.
    if (m_connected)
        CloseSocket();
    return ReadResult::Closed;
}

void TSockClient::SetLineReading(bool On)
{
    m_lineReading = On;
    if (!On)
        StopTimeOut();
}

void TSockClient::StartTimeOut()
{
    if (m_stepTimer.isActive())
        return;
    m_timedOut = false;
    if (TimeOut > 0)
        m_stepTimer.start(TimeOut);
}

void TSockClient::StopTimeOut()
{
    m_stepTimer.stop();
}

void TSockClient::dataArrived()
{
    wake();
    // A blocking read takes its lines itself.
    if (!m_waits.isEmpty() || !m_lineReading || m_holdLines)
        return;
    if (m_stepTimer.isActive())
        m_stepTimer.start(TimeOut);
    handOnLines();
}

bool TSockClient::BytesWaiting() const
{
    return m_socket && m_socket->bytesAvailable() > 0;
}

void TSockClient::handOnLines()
{
    if (m_lineCallPending)
        return;
    m_lineCallPending = true;
    QTimer::singleShot(0, this, [this] {
        m_lineCallPending = false;
        if (m_lineReading && m_waits.isEmpty() && !m_holdLines)
            guarded([this] { lineArrived(); });
    });
}

void TSockClient::NoteReply(const QByteArray& Reply)
{
    m_replyNumber = 0;
    m_lastReply = Reply;
    if (Reply.isEmpty())
        return;
    ReportStatus(1, AnsiText::fromAnsi(Reply));
    qsizetype digits = 0;
    while (digits < Reply.size() && digits < 10 && Reply.at(digits) >= '0' && Reply.at(digits) <= '9')
        ++digits;
    if (digits > 0) {
        const qint64 number = Reply.left(digits).toLongLong();
        if (number > 32767)
            throw ESockError(
                byLanguage(u"Antwortnummer außerhalb des Bereichs: "_s, u"Answer number out of range: "_s) +
                QString::number(number));
        m_replyNumber = static_cast<qint16>(number);
    }
}

void TSockClient::WaitForStep(const std::function<bool()>& Done, bool Counts)
{
    // A wait inside a handler that holds the lines must see them.
    const bool held = m_holdLines;
    m_holdLines = false;
    if (Counts)
        ++m_stepWaits;
    if (m_lineReading && BytesWaiting())
        handOnLines();
    try {
        waitUntil(Done);
    } catch (...) {
        if (Counts)
            --m_stepWaits;
        m_holdLines = held;
        throw;
    }
    if (Counts)
        --m_stepWaits;
    m_holdLines = held;
}
