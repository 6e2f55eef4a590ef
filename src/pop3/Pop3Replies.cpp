// The lines of a session as they arrive: each is fed to the command at the
// head of the queue of commands in flight, and what comes next follows.
#include "Pop3Client.h"
#include "Pop3Reply.h"
#include "Pop3Sasl.h"

#include <QScopeGuard>
#include <QTimer>

namespace {

QByteArray stripLineEnd(const QByteArray& line)
{
    return Pop3Reply::withoutLineEnd(line).toByteArray();
}

// The states in which lines of an answer due are read as they arrive.
bool readsLines(TPop3State state)
{
    switch (state) {
    case TPop3State::Greeting:
    case TPop3State::Capabilities:
    case TPop3State::StartTls:
    case TPop3State::User:
    case TPop3State::Pass:
    case TPop3State::Authenticating:
    case TPop3State::Stat:
    case TPop3State::Listing:
    case TPop3State::Quitting:
        return true;
    default:
        return false;
    }
}

} // namespace

bool TPop3Client::Waiting() const
{
    // A listing waits for an answer except while a handler of it runs.
    return TSockClient::Waiting() || loggingOn() || m_state == TPop3State::Quitting ||
           (m_state == TPop3State::Listing && !m_holdLines);
}

bool TPop3Client::loggingOn() const
{
    return m_state != TPop3State::Closed && m_state != TPop3State::Ready && m_state != TPop3State::Listing &&
           m_state != TPop3State::Quitting;
}

void TPop3Client::setState(TPop3State state)
{
    if (m_state == state)
        return;
    m_state = state;
    SetLineReading(readsLines(state));
    if (!readsLines(state))
        StopTimeOut();
    // Told from the event loop like every other outcome, so a handler never
    // runs inside the call that made the change.
    QTimer::singleShot(0, this, [this, state] { emit stateChanged(state); });
}

void TPop3Client::socketClosed()
{
    // Closed while nothing was under way; a step under way learns of it from
    // the read that finds nothing.
    if (m_state == TPop3State::Ready)
        setState(TPop3State::Closed);
}

void TPop3Client::deliver(const std::function<void()>& emitter)
{
    // A handler may run a loop of its own (a message box): the lines that
    // arrive meanwhile wait, so no answer is taken in the middle of another.
    const bool held = m_holdLines;
    m_holdLines = true;
    const auto restore = qScopeGuard([&] { m_holdLines = held; });
    emitter();
    // A blocking call waiting for this outcome looks at its condition again.
    wake();
    if (!held && readsLines(m_state) && BytesWaiting())
        QTimer::singleShot(0, this, [this] {
            try {
                lineArrived();
            } catch (...) {
            }
        });
}

void TPop3Client::lineArrived()
{
    if (BlockingRead() || m_holdLines)
        return;
    QByteArray line;
    while (readsLines(m_state) && !m_holdLines && !BlockingRead()) {
        // A failure with the connection still open goes on reading the
        // answers due, so the loop goes on after it.
        try {
            const ReadResult result = TryReadLn(line);
            if (result == ReadResult::Nothing)
                break;
            if (result == ReadResult::Closed) {
                closedDuringStep();
                break;
            }
            feedLine(line);
        } catch (...) {
            fail(std::current_exception());
        }
    }
}

void TPop3Client::feedLine(const QByteArray& Line)
{
    if (m_answerOpen) {
        if (stripLineEnd(Line) == ".") {
            m_answerOpen = false;
            answerEnded(m_openCommand);
        } else {
            // Byte-stuffing: the server doubles a leading dot so no data line reads as the end.
            answerLine(m_openCommand, Line.startsWith("..") ? Line.mid(1) : Line);
        }
        advance();
        return;
    }
    if (m_state == TPop3State::Greeting && !m_stopping) {
        NoteReply(Line);
        if (!IsPositive(Line))
            RaiseReply(Line);
        m_capabilities.clear();
        m_capabilityBytes = 0;
        setState(TPop3State::Capabilities);
        postCommands({"CAPA"});
        advance();
        return;
    }
    if (m_inFlight.isEmpty())
        outOfStep(m_openCommand, Line);
    const QByteArray command = m_inFlight.first();
    // A challenge within AUTH: the command waits on for its verdict.
    if (command.startsWith("AUTH ") && Pop3Sasl::isContinuation(Line)) {
        authContinued(Line);
        advance();
        return;
    }
    NoteReply(Line);
    acceptReply(command, Line);
    replied(command, Line);
    advance();
}

void TPop3Client::answerLine(const QByteArray& Command, const QByteArray& Line)
{
    if (Command != "CAPA") {
        listingLine(Command, Line);
        return;
    }
    if (m_stopping)
        return;
    // Held in memory before TLS, where anyone on the way may answer: an
    // answer without end must not grow without end.
    m_capabilityBytes += Line.size();
    if (m_capabilities.size() >= Pop3Reply::MaxCapabilityLines || m_capabilityBytes > Pop3Reply::MaxCapabilityBytes)
        tooLong("CAPA", Pop3Reply::MaxCapabilityBytes);
    const QByteArray entry = stripLineEnd(Line).trimmed();
    if (!entry.isEmpty())
        m_capabilities.append(entry);
}

void TPop3Client::answerEnded(const QByteArray& Command)
{
    if (Command != "CAPA")
        listingEnded(Command);
    else if (!m_stopping)
        capabilitiesDone();
}

void TPop3Client::advance()
{
    const bool due = !m_inFlight.isEmpty() || m_answerOpen || (m_state == TPop3State::Greeting && !m_stopping);
    if (m_stopping && !due && m_state != TPop3State::Quitting && m_state != TPop3State::Closed) {
        m_stopping = false;
        if (m_quitAfterStop || loggingOn()) {
            m_quitAfterStop = false;
            if (m_state == TPop3State::Listing && !m_pendingFailure) {
                setState(TPop3State::Ready);
                deliver([this] { emit listingFinished(); });
                if (m_state != TPop3State::Ready || !Connected())
                    return;
            }
            sendQuit();
            return;
        }
        if (m_state == TPop3State::Listing)
            finishListing();
        return;
    }
    if (m_state == TPop3State::Listing && !m_stopping) {
        fillListing();
        if (m_inFlight.isEmpty() && !m_answerOpen) {
            finishListing();
            return;
        }
        // The next summary starts once its answer is the next one due.
        const QByteArray head = m_answerOpen ? QByteArray() : m_inFlight.value(0);
        if (head.startsWith("TOP ") && head != m_startedTop) {
            m_startedTop = head;
            if (m_summaryStart)
                deliver([this] { m_summaryStart(this); });
        }
    }
    if (!readsLines(m_state))
        return;
    if (!m_inFlight.isEmpty() || m_answerOpen || m_state == TPop3State::Greeting)
        StartTimeOut();
    else
        StopTimeOut();
}
