// The session without a wait: the log-on, the lines as they arrive, QUIT,
// and the blocking Connect that waits once for all of it.
#include "AnsiText.h"
#include "Pop3Client.h"
#include "Pop3Reply.h"
#include "Pop3Text.h"

#include <QScopeGuard>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString kAuthenticationFailed = u"Die Authentifizierung ist fehlgeschlagen"_s;
const QString kNoTls = u" Der Server bietet keine verschlüsselte Verbindung an."_s;

QByteArray stripLineEnd(const QByteArray& line)
{
    return Pop3Reply::withoutLineEnd(line).toByteArray();
}

QString messageOf(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return ::messageOf(e);
    } catch (...) {
    }
    return {};
}

} // namespace

void TPop3Client::replied(const QByteArray& Command, const QByteArray& Reply)
{
    const bool positive = IsPositive(Reply);
    if (Command == "QUIT") {
        quitReplied(Reply);
    } else if (m_state == TPop3State::Listing) {
        listingReplied(Command, Reply);
    } else if (m_stopping) {
        // Read away: the log-on failed already.
    } else if (Command == "CAPA") {
        // A server from before RFC 2449 refuses CAPA: it simply offers
        // nothing more than RFC 1939.
        if (!positive)
            capabilitiesDone();
    } else if (Command == "STLS") {
        if (!positive)
            throw ESockError(u"STLS abgelehnt ("_s + AnsiText::fromAnsi(stripLineEnd(Reply)) + u")."_s + kNoTls);
        setState(TPop3State::Handshake);
        BeginTls([this](std::exception_ptr failure) { tlsDone(failure); },
                 [this](const TCertificateInfo& info) { askTrust(info); });
    } else if (Command.startsWith("USER ")) {
        m_userTaken = positive;
        if (m_pipelinedLogon)
            setState(TPop3State::Pass);
        else if (!positive)
            logonRefused();
        else {
            setState(TPop3State::Pass);
            postCommands({m_passCommand});
        }
    } else if (Command.startsWith("AUTH ")) {
        authReplied(Reply);
    } else if (Command.startsWith("PASS ")) {
        if (!positive || !m_userTaken) {
            logonRefused();
            return;
        }
        setState(TPop3State::Stat);
        postCommands({"STAT"});
    } else if (Command == "STAT") {
        statReplied(Reply);
    }
}

void TPop3Client::StartSession()
{
    if (m_state != TPop3State::Closed || Connected()) {
        failLater(u"Bereits verbunden"_s);
        return;
    }
    if (const QString refusal = oauthRefusal(); !refusal.isEmpty()) {
        failLater(refusal);
        return;
    }
    forgetInFlight();
    m_failure = {};
    m_pendingFailure = {};
    m_messageCount = 0;
    m_countKnown = false;
    m_capabilities.clear();
    m_passwordTries = 0;
    m_tokenTries = 0;
    m_tlsDone = false;
    m_stopping = false;
    m_quitAfterStop = false;
    UseTls = Security == TSecurity::Tls;
    setBusy(true);
    setState(TPop3State::Connecting);
    BeginConnect([this](std::exception_ptr failure) { connectDone(failure); });
}

void TPop3Client::connectDone(std::exception_ptr Failure)
{
    if (m_state != TPop3State::Connecting)
        return;
    if (Failure) {
        setState(TPop3State::Closed);
        tellFailure(Failure);
        return;
    }
    if (Security == TSecurity::Tls) {
        setState(TPop3State::Handshake);
        BeginTls([this](std::exception_ptr failure) { tlsDone(failure); },
                 [this](const TCertificateInfo& info) { askTrust(info); });
        return;
    }
    setState(TPop3State::Greeting);
    advance();
    lineArrived();
}

void TPop3Client::tlsDone(std::exception_ptr Failure)
{
    if (m_state != TPop3State::Handshake && m_state != TPop3State::AwaitingTrust)
        return;
    if (Failure) {
        if (Connected())
            CloseSocket();
        forgetInFlight();
        setState(TPop3State::Closed);
        tellFailure(Failure);
        return;
    }
    if (Security == TSecurity::Tls && !m_tlsDone) {
        m_tlsDone = true;
        setState(TPop3State::Greeting);
        advance();
        lineArrived();
        return;
    }
    // What the server said in the clear may have been forged on the way.
    m_tlsDone = true;
    m_capabilities.clear();
    m_capabilityBytes = 0;
    try {
        setState(TPop3State::Capabilities);
        postCommands({"CAPA"});
        advance();
    } catch (...) {
        fail(std::current_exception());
    }
}

void TPop3Client::askTrust(const TCertificateInfo& Info)
{
    setState(TPop3State::AwaitingTrust);
    deliver([&] { emit trustAsked(Info); });
}

void TPop3Client::AnswerTrust(bool accept)
{
    if (m_state != TPop3State::AwaitingTrust)
        return;
    setState(TPop3State::Handshake);
    // Goes on from the event loop, so the outcome never comes inside this call.
    QTimer::singleShot(0, this, [this, accept] {
        try {
            ContinueTls(accept);
        } catch (...) {
        }
    });
}

void TPop3Client::capabilitiesDone()
{
    if (Security == TSecurity::StartTls && !m_tlsDone) {
        // Nothing of the log-on goes out before STLS and the handshake succeeded.
        if (!HasCapability("STLS"))
            throw ESockError(u"STLS fehlt in der Antwort auf CAPA."_s + kNoTls);
        setState(TPop3State::StartTls);
        postCommands({"STLS"});
        return;
    }
    sendLogon();
}

void TPop3Client::sendLogon()
{
    if (!OAuthToken.isEmpty()) {
        sendAuth();
        return;
    }
    const QByteArray user = "USER " + AnsiText::toAnsi(UserID);
    m_passCommand = "PASS " + AnsiText::toAnsi(Password);
    m_userTaken = false;
    // With PIPELINING, PASS rides along with USER: one round trip less.
    // Nothing may follow PASS before its reply, though: some servers
    // (Courier) drop a command that arrives together with it.
    m_pipelinedLogon = HasCapability("PIPELINING");
    setState(TPop3State::User);
    if (m_pipelinedLogon)
        postCommands({user, m_passCommand});
    else
        postCommands({user});
}

void TPop3Client::logonRefused()
{
    if (m_passwordTries > 0)
        throw Exception(kAuthenticationFailed);
    ++m_passwordTries;
    setState(TPop3State::AwaitingPassword);
    deliver([this] { emit passwordAsked(); });
}

void TPop3Client::AnswerPassword(bool retry)
{
    if (m_state != TPop3State::AwaitingPassword)
        return;
    try {
        if (!retry)
            throw Exception(kAuthenticationFailed);
        sendLogon();
        advance();
    } catch (...) {
        failSoon(std::current_exception());
    }
}

void TPop3Client::statReplied(const QByteArray& Reply)
{
    if (!IsPositive(Reply))
        RaiseReply(Reply);
    bool ok = false;
    const int count = NthField(Reply, ' ', 2).trimmed().toInt(&ok);
    m_messageCount = ok ? count : 0;
    m_countKnown = ok && count >= 0;
    setState(TPop3State::Ready);
    setBusy(false);
    if (!m_blockingLogon && OnConnect)
        deliver([this] { OnConnect(this); });
    deliver([this] { emit sessionReady(); });
}

void TPop3Client::StartQuit()
{
    if (m_state == TPop3State::Listing) {
        // The answers on their way are read first, so QUIT gets its own reply.
        StopListing();
        m_quitAfterStop = true;
        return;
    }
    if (m_state != TPop3State::Ready || !Connected()) {
        failLater(u"Nicht verbunden"_s);
        return;
    }
    try {
        sendQuit();
    } catch (...) {
        failSoon(std::current_exception());
    }
}

void TPop3Client::sendQuit()
{
    setState(TPop3State::Quitting);
    postCommands({"QUIT"});
    StartTimeOut();
}

void TPop3Client::quitReplied(const QByteArray& Reply)
{
    const std::exception_ptr failure = std::exchange(m_pendingFailure, {});
    forgetInFlight();
    if (!failure)
        deliver([&] { emit quitAnswered(IsPositive(Reply), Reply); });
    if (Connected())
        CloseSocket();
    setState(TPop3State::Closed);
    setBusy(false);
    if (failure)
        tellFailure(failure);
}

void TPop3Client::fail(std::exception_ptr Failure)
{
    if (m_state == TPop3State::Closed)
        return;
    // The failure that ended the step is the one to report, not what went
    // wrong while its answers were read away.
    if (m_pendingFailure)
        Failure = m_pendingFailure;
    if (!Connected() || m_state == TPop3State::Quitting) {
        m_pendingFailure = {};
        forgetInFlight();
        if (Connected())
            CloseSocket();
        setState(TPop3State::Closed);
        tellFailure(Failure);
        return;
    }
    m_pendingFailure = Failure;
    m_stopping = true;
    m_pendingDeletions.clear();
    try {
        advance();
    } catch (...) {
        m_pendingFailure = {};
        forgetInFlight();
        if (Connected())
            CloseSocket();
        setState(TPop3State::Closed);
        tellFailure(Failure);
    }
}

void TPop3Client::failSoon(std::exception_ptr Failure)
{
    // From the event loop, so the caller that started the step has returned
    // before anyone hears of its failure.
    QTimer::singleShot(0, this, [this, Failure] {
        try {
            fail(Failure);
        } catch (...) {
        }
    });
}

void TPop3Client::failLater(const QString& Message)
{
    QTimer::singleShot(0, this, [this, Message] { tellFailure(std::make_exception_ptr(Exception(Message))); });
}

void TPop3Client::tellFailure(std::exception_ptr Failure)
{
    m_failure = Failure;
    setBusy(false);
    deliver([&] { emit sessionFailed(messageOf(Failure)); });
}

void TPop3Client::closedDuringStep()
{
    QString text = u"Die Verbindung wurde vom Server geschlossen"_s;
    if (m_answerOpen)
        text = u"Die Verbindung wurde während der Antwort geschlossen"_s;
    else if (m_state == TPop3State::StartTls)
        text = u"STLS abgelehnt (keine Antwort)."_s + kNoTls;
    forgetInFlight();
    fail(std::make_exception_ptr(ESockError(text)));
}

void TPop3Client::readTimedOut()
{
    // The connection is given up: whatever still comes belongs to the step that timed out.
    forgetInFlight();
    if (Connected())
        CloseSocket();
    fail(std::make_exception_ptr(EAbortError(u"Socket-readln abgebrochen"_s)));
}

void TPop3Client::readCanceled()
{
    if (m_state == TPop3State::Closed || m_state == TPop3State::Ready)
        return;
    // The cancel is taken by this step alone.
    forgetInFlight();
    if (Connected())
        CloseSocket();
    fail(std::make_exception_ptr(EAbortError(u"Socket-readln abgebrochen"_s)));
}

void TPop3Client::Connect()
{
    bool asked = false;
    while ((Password.isEmpty() && OAuthToken.isEmpty()) || UserID.isEmpty()) {
        if (!OnAuthenticationNeeded)
            throw Exception(kAuthenticationFailed);
        if (asked)
            break;
        bool handled = false;
        OnAuthenticationNeeded(handled);
        asked = true;
        if (!handled)
            throw Exception(kAuthenticationFailed);
    }
    if (Connected() || m_state != TPop3State::Closed)
        throw ESockError(u"Bereits verbunden"_s);

    bool done = false;
    {
        const QList<QMetaObject::Connection> links = {
            connect(this, &TPop3Client::sessionReady, this, [&done] { done = true; }),
            connect(this, &TPop3Client::sessionFailed, this, [&done] { done = true; }),
            connect(this, &TPop3Client::trustAsked, this,
                    [this](const TCertificateInfo& info) {
                        bool accept = false;
                        if (OnCertificateUntrusted)
                            OnCertificateUntrusted(info, accept);
                        AnswerTrust(accept);
                    }),
            // One more try at most, and only when a handler says so.
            connect(this, &TPop3Client::passwordAsked, this,
                    [this] {
                        bool handled = false;
                        if (OnAuthenticationFailed)
                            OnAuthenticationFailed(handled);
                        AnswerPassword(handled);
                    }),
            // A caller that waits has no new token to offer.
            connect(this, &TPop3Client::tokenAsked, this, [this] { AnswerToken({}); }),
        };
        const auto unlink = qScopeGuard([&] {
            for (const QMetaObject::Connection& link : links)
                disconnect(link);
            m_blockingLogon = false;
        });
        m_blockingLogon = true;
        m_failure = {};
        StartSession();
        WaitForStep([&done] { return done; }, true);
    }
    if (m_state != TPop3State::Ready) {
        if (m_failure)
            std::rethrow_exception(m_failure);
        throw ESockError(u"Verbindung abgebrochen"_s);
    }
    // A connection that failed after the log-on is closed again: the window
    // must not be told it is connected.
    if (OnConnect)
        OnConnect(this);
}
