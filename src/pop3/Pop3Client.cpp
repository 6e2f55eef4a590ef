#include "Pop3Client.h"

#include "AnsiText.h"
#include "MimeWalk.h"
#include "Pop3Reply.h"
#include "Pop3Text.h"
#include "UiLanguage.h"

#include <QDir>
#include <exception>

using namespace Qt::StringLiterals;

namespace {

QByteArray stripLineEnd(const QByteArray& line)
{
    return Pop3Reply::withoutLineEnd(line).toByteArray();
}

bool isRefusal(const QByteArray& reply)
{
    return reply.isEmpty() || Pop3Reply::status(reply) == Pop3Reply::Status::Negative;
}

} // namespace

void TSummary::clear()
{
    Header.clear();
    Subject.clear();
    From.clear();
    MessageId.clear();
}

TPop3Client::TPop3Client(QObject* parent) : TSockClient(parent)
{
    Port = 110;
}

TPop3Client::~TPop3Client() = default;

void TPop3Client::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    if (!isDestroying() && OnBusyChanged)
        OnBusyChanged(this);
}

bool TPop3Client::IsPositive(const QByteArray& Reply)
{
    return Pop3Reply::status(Reply) == Pop3Reply::Status::Positive;
}

void TPop3Client::RaiseReply(const QByteArray& Reply)
{
    // An empty reply is a connection the server has closed; say so instead of
    // raising an empty text.
    if (Reply.isEmpty())
        throw ESockError(
            byLanguage(u"Die Verbindung wurde vom Server geschlossen"_s, u"The server closed the connection"_s));
    throw Exception(AnsiText::fromAnsi(Reply));
}

bool TPop3Client::ReadAnswerLine(QByteArray& Line)
{
    Line = ReadLn();
    if (Line.isEmpty()) {
        forgetInFlight();
        throw ESockError(byLanguage(u"Die Verbindung wurde während der Antwort geschlossen"_s,
                                    u"The connection was closed during the answer"_s));
    }
    if (stripLineEnd(Line) == ".") {
        m_answerOpen = false;
        return false;
    }
    // Byte-stuffing: the server doubles a leading dot so no data line reads as the end.
    if (Line.startsWith(".."))
        Line.remove(0, 1);
    return true;
}

bool TPop3Client::HasCapability(const QByteArray& Name) const
{
    for (const QByteArray& entry : m_capabilities) {
        const QByteArray word = entry.left(entry.indexOf(' ') < 0 ? entry.size() : entry.indexOf(' '));
        if (word.compare(Name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QByteArray TPop3Client::Transaction(const QByteArray& Command)
{
    if (!Connected())
        forgetInFlight();
    sendCommand(Command);
    return takeReply();
}

void TPop3Client::sendCommand(const QByteArray& Command)
{
    m_inFlight.append(Command);
    try {
        Writeln(Command);
    } catch (...) {
        forgetInFlight();
        throw;
    }
}

QByteArray TPop3Client::takeReply()
{
    const QByteArray command = m_inFlight.value(0);
    QByteArray reply;
    try {
        reply = ReadReply();
    } catch (...) {
        forgetInFlight();
        throw;
    }
    if (reply.isEmpty() || m_inFlight.isEmpty()) {
        // The connection has closed, or a Disconnect inside the wait has
        // already read this reply: nothing is due any more.
        forgetInFlight();
        return {};
    }
    acceptReply(command, reply);
    return reply;
}

void TPop3Client::acceptReply(const QByteArray& Command, const QByteArray& Reply)
{
    // A line that is no status, or a status for another command, means the
    // server is out of step: every later reply would be taken for the wrong one.
    const Pop3Reply::Status status = Pop3Reply::status(Reply);
    if (status == Pop3Reply::Status::Unknown ||
        (status == Pop3Reply::Status::Positive && !Pop3Reply::fitsCommand(Command, Reply)))
        outOfStep(Command, Reply);
    m_inFlight.removeFirst();
    m_answerOpen = Pop3Reply::opensAnswer(Command) && status == Pop3Reply::Status::Positive;
    if (m_answerOpen)
        m_openCommand = Command;
}

void TPop3Client::outOfStep(const QByteArray& Command, const QByteArray& Line)
{
    // No QUIT: the server must not make this connection's deletions final
    // when the client can no longer tell which messages they hit.
    CloseSocket();
    forgetInFlight();
    throw ESockError(byLanguage(u"Antwort passt nicht zu "_s, u"Answer does not fit "_s) +
                     QString::fromLatin1(Pop3Reply::shown(Command)) + u": \""_s +
                     AnsiText::fromAnsi(stripLineEnd(Line).left(200)) +
                     byLanguage(u"\", Verbindung getrennt"_s, u"\", connection closed"_s));
}

void TPop3Client::tooLong(const QByteArray& Command, qsizetype Limit)
{
    CloseSocket();
    forgetInFlight();
    throw ESockError(byLanguage(u"Antwort auf "_s, u"Answer to "_s) + QString::fromLatin1(Pop3Reply::shown(Command)) +
                     byLanguage(u" länger als "_s, u" longer than "_s) + QString::number(Limit) +
                     byLanguage(u" Bytes, Verbindung getrennt"_s, u" bytes, connection closed"_s));
}

void TPop3Client::postCommands(const QList<QByteArray>& Commands)
{
    if (Commands.isEmpty())
        return;
    QByteArray bytes;
    for (const QByteArray& command : Commands)
        bytes += command + "\r\n";
    m_inFlight += Commands;
    try {
        Post(bytes);
    } catch (...) {
        forgetInFlight();
        throw;
    }
}

void TPop3Client::settleInFlight()
{
    try {
        while (Connected() && (m_answerOpen || !m_inFlight.isEmpty())) {
            if (m_answerOpen) {
                QByteArray line;
                while (ReadAnswerLine(line)) {
                }
            } else {
                takeReply();
            }
        }
    } catch (...) {
        if (Connected())
            CloseSocket();
    }
    forgetInFlight();
}

void TPop3Client::forgetInFlight()
{
    m_inFlight.clear();
    m_answerOpen = false;
}

void TPop3Client::Disconnect()
{
    if (loggingOn() || m_state == TPop3State::Quitting) {
        // The step under way fails first; nothing can tell its answers from
        // QUIT's reply, so the connection closes without QUIT.
        Cancel();
        if (Connected())
            TSockClient::Disconnect();
        return;
    }
    if (m_state == TPop3State::Listing) {
        // A listing ends first; what was listed stands. Between two answers
        // (from a handler of the listing) the answers already on their way
        // are read, so QUIT is answered by its own reply and the deletions
        // become final. While an answer is awaited it could not be told from
        // QUIT's reply: the connection closes without QUIT.
        if (m_holdLines) {
            settleListing();
        } else {
            CloseSocket();
            forgetInFlight();
            finishListing();
            return;
        }
    }
    if (Waiting()) {
        // An operation waits (for the connection or for an answer, which
        // QUIT's reply could not be told from): its wait is cancelled and the
        // connection closed without QUIT. The server then keeps this
        // connection's deletions undone, which loses nothing.
        Cancel();
        if (Connected())
            TSockClient::Disconnect();
        return;
    }
    if (!Connected())
        return;
    if (!m_inFlight.isEmpty() || m_answerOpen) {
        settleInFlight();
        if (!Connected())
            return;
    }
    QByteArray reply;
    try {
        reply = Transaction("QUIT");
    } catch (...) {
        TSockClient::Disconnect();
        throw;
    }
    TSockClient::Disconnect();
    if (!IsPositive(reply))
        RaiseReply(reply);
}

void TPop3Client::Abort()
{
    TSockClient::Abort();
    // Closing drops whatever was still waiting to be read.
    if (Connected())
        CloseSocket();
    forgetInFlight();
}

void TPop3Client::setAttachFilePath(const QString& Path)
{
    m_attachFilePath = Path;
    if (!Path.isEmpty() && !Path.endsWith(u'/') && !Path.endsWith(QDir::separator()))
        m_attachFilePath += QDir::separator();
}

void TPop3Client::RetrieveMessage(int MsgNum)
{
    if (Busy())
        return;
    BusyScope busy(*this);
    VerifyConnected();
    if (OnRetrieveStart)
        OnRetrieveStart(this);
    std::exception_ptr failure;
    try {
        m_mailMessage.Boundary.clear();
        const QByteArray number = QByteArray::number(MsgNum);
        const QByteArray reply = Transaction("RETR " + number);
        // A refused RETR leaves the previous message in the record.
        if (!IsPositive(reply))
            RaiseReply(reply);
        m_mailMessage.clear();
        m_bytesRecvd = 0;
        ReadMessage();
        if (DeleteOnRead) {
            const QByteArray dele = Transaction("DELE " + number);
            if (isRefusal(dele))
                RaiseReply(dele);
        }
        ReportStatus(1, byLanguage(u"Meldung erhalten"_s, u"Message received"_s));
    } catch (...) {
        failure = std::current_exception();
    }
    if (OnRetrieveEnd)
        OnRetrieveEnd(this);
    if (failure)
        std::rethrow_exception(failure);
}

void TPop3Client::ReadMessage()
{
    TMimeWalk::Hooks hooks;
    hooks.status = [this](int level, const QString& text) { ReportStatus(level, text); };
    hooks.lineMoved = [this] {
        ++m_bytesRecvd;
        if (OnPacketRecvd)
            OnPacketRecvd(this);
    };
    hooks.decodeStart = [this](QString& name) {
        if (OnDecodeStart)
            OnDecodeStart(name);
    };
    // The parts are extracted while the message arrives, so a large attachment
    // goes to disk line by line instead of piling up in memory.
    TMimeWalk walk(m_mailMessage, m_attachFilePath, Parse, std::move(hooks));
    bool answerEnded = false;
    try {
        QByteArray line;
        while (ReadAnswerLine(line))
            walk.addLine(Pop3Reply::withoutLineEnd(line));
        answerEnded = true;
        walk.finish();
    } catch (...) {
        walk.abandon();
        if (!answerEnded)
            SkipAnswer();
        throw;
    }
}

void TPop3Client::SkipAnswer()
{
    // The rest of the answer would be taken for the next reply: read it away,
    // or give up the connection when even that fails.
    if (!Connected())
        return;
    try {
        QByteArray line;
        while (ReadAnswerLine(line)) {
        }
    } catch (...) {
        if (Connected())
            CloseSocket();
    }
}

void TPop3Client::refuseDeletion(const QByteArray& Reply)
{
    if (OnFailure)
        OnFailure(this);
    RaiseReply(Reply);
}

void TPop3Client::DeleteMessage(int MsgNum)
{
    if (Busy())
        return;
    {
        BusyScope busy(*this);
        VerifyConnected();
        const QByteArray reply = Transaction("DELE " + QByteArray::number(MsgNum));
        // A closed connection or a bare "-ERR" is a refusal too, not a deletion.
        if (isRefusal(reply))
            refuseDeletion(reply);
    }
    if (OnSuccess)
        OnSuccess(this);
}

void TPop3Client::DeleteMessage(int MsgNum, const QByteArray& ExpectedUid)
{
    if (Busy())
        return;
    if (!ExpectedUid.isEmpty()) {
        BusyScope busy(*this);
        VerifyConnected();
        const QByteArray reply = Transaction("UIDL " + QByteArray::number(MsgNum));
        // Refused as DELE would be (the message is deleted already): a failed deletion.
        if (isRefusal(reply))
            refuseDeletion(reply);
        if (NthField(stripLineEnd(reply), ' ', 3) != ExpectedUid)
            throw Exception(byLanguage(u"Die Nachricht %1 ist auf dem Server nicht mehr die angezeigte; sie wurde "
                                       u"nicht gelöscht"_s,
                                       u"Message %1 on the server is no longer the one shown; it was not deleted"_s)
                                .arg(MsgNum));
    }
    DeleteMessage(MsgNum);
}

void TPop3Client::Reset()
{
    if (Busy())
        return;
    {
        BusyScope busy(*this);
        VerifyConnected();
        const QByteArray reply = Transaction("RSET");
        if (!IsPositive(reply))
            RaiseReply(reply);
    }
    if (OnReset)
        OnReset(this);
}
