#include "Pop3Client.h"

#include "AnsiText.h"
#include "MimeWalk.h"
#include "Pop3Text.h"

#include <QDir>
#include <QScopeGuard>
#include <exception>

using namespace Qt::StringLiterals;

namespace {

const QString kAuthenticationFailed = u"Die Authentifizierung ist fehlgeschlagen"_s;

// The line without its CR LF or LF, as a view: the walk copies only what it keeps.
QByteArrayView withoutLineEnd(const QByteArray& line)
{
    QByteArrayView view(line);
    if (view.endsWith("\r\n"))
        view.chop(2);
    else if (view.endsWith('\n'))
        view.chop(1);
    return view;
}

QByteArray stripLineEnd(const QByteArray& line)
{
    return withoutLineEnd(line).toByteArray();
}

int toInteger(const QByteArray& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw Exception(u"'"_s + AnsiText::fromAnsi(text) + u"' ist kein gültiger Integerwert"_s);
    return value;
}

// Whether a positive reply to the command is followed by a multi-line answer.
bool opensAnswer(const QByteArray& command)
{
    const QByteArray verb = command.trimmed().toUpper();
    return verb.startsWith("TOP ") || verb.startsWith("RETR ") || verb == "CAPA" || verb == "LIST" || verb == "UIDL";
}

bool isDeletion(const QByteArray& command)
{
    return command.startsWith("DELE ");
}

bool isRefusal(const QByteArray& reply)
{
    return reply.isEmpty() || stripLineEnd(NthField(reply, ' ', 1)) == "-ERR";
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
    return NthField(Reply, ' ', 1).contains("+OK");
}

void TPop3Client::RaiseReply(const QByteArray& Reply)
{
    // An empty reply is a connection the server has closed; say so instead of
    // raising an empty text.
    if (Reply.isEmpty())
        throw ESockError(u"Die Verbindung wurde vom Server geschlossen"_s);
    throw Exception(AnsiText::fromAnsi(Reply));
}

bool TPop3Client::ReadAnswerLine(QByteArray& Line)
{
    Line = ReadLn();
    if (Line.isEmpty()) {
        forgetInFlight();
        throw ESockError(u"Die Verbindung wurde während der Antwort geschlossen"_s);
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

void TPop3Client::Connect()
{
    bool asked = false;
    while (Password.isEmpty() || UserID.isEmpty()) {
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

    forgetInFlight();
    m_listingStopped = false;
    std::exception_ptr failure;
    m_messageCount = 0;
    try {
        const BusyScope busy(*this);
        UseTls = Security == TSecurity::Tls;
        TSockClient::Connect();
        try {
            const QByteArray greeting = ReadLn();
            if (!IsPositive(greeting))
                RaiseReply(greeting);
            ReadCapabilities();
            if (Security == TSecurity::StartTls)
                NegotiateTls();
            const QByteArray stat = Logon();
            if (!IsPositive(stat))
                RaiseReply(stat);
            bool ok = false;
            const int count = NthField(stat, ' ', 2).trimmed().toInt(&ok);
            m_messageCount = ok ? count : 0;
        } catch (...) {
            // The failure that ended the logon is the one to report, not a
            // refused goodbye.
            try {
                Disconnect();
            } catch (...) {
            }
            throw;
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // A connection that failed after the log-on is closed again: the window
    // must not be told it is connected.
    if (!failure && OnConnect)
        OnConnect(this);
    if (failure)
        std::rethrow_exception(failure);
}

void TPop3Client::ReadCapabilities()
{
    m_capabilities.clear();
    // A server from before RFC 2449 refuses CAPA: it simply offers nothing more
    // than RFC 1939.
    if (!IsPositive(Transaction("CAPA")))
        return;
    QByteArray line;
    while (ReadAnswerLine(line)) {
        const QByteArray entry = stripLineEnd(line).trimmed();
        if (!entry.isEmpty())
            m_capabilities.append(entry);
    }
}

void TPop3Client::NegotiateTls()
{
    const QString noTls = u" Der Server bietet keine verschlüsselte Verbindung an."_s;
    if (!HasCapability("STLS"))
        throw ESockError(u"STLS fehlt in der Antwort auf CAPA."_s + noTls);
    const QByteArray reply = Transaction("STLS");
    if (!IsPositive(reply)) {
        const QString answer = reply.isEmpty() ? u"keine Antwort"_s : AnsiText::fromAnsi(stripLineEnd(reply));
        throw ESockError(u"STLS abgelehnt ("_s + answer + u")."_s + noTls);
    }
    StartTls();
    // What the server said in the clear may have been forged on the way.
    ReadCapabilities();
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

QByteArray TPop3Client::Logon()
{
    for (int attempt = 0;; ++attempt) {
        if (IsPositive(Transaction("USER " + AnsiText::toAnsi(UserID)))) {
            // With PIPELINING, STAT rides along with PASS: one round trip less
            // before the listing. After a refused PASS its "-ERR" is read away.
            if (!HasCapability("PIPELINING")) {
                if (IsPositive(Transaction("PASS " + AnsiText::toAnsi(Password))))
                    return Transaction("STAT");
            } else {
                postCommands({"PASS " + AnsiText::toAnsi(Password), "STAT"});
                const QByteArray pass = takeReply();
                const QByteArray stat = takeReply();
                if (IsPositive(pass))
                    return stat;
            }
        }
        if (attempt > 0 || !OnAuthenticationFailed)
            throw Exception(kAuthenticationFailed);
        bool handled = false;
        OnAuthenticationFailed(handled);
        if (!handled)
            throw Exception(kAuthenticationFailed);
    }
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
    m_inFlight.removeFirst();
    m_answerOpen = opensAnswer(command) && IsPositive(reply);
    return reply;
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

void TPop3Client::settleDeletions(bool Raise)
{
    while (!m_answerOpen && !m_inFlight.isEmpty() && isDeletion(m_inFlight.first())) {
        const int msgNum = m_inFlight.first().mid(5).toInt();
        const QByteArray reply = takeReply();
        if (isRefusal(reply)) {
            if (OnFailure)
                OnFailure(this);
            if (Raise)
                RaiseReply(reply);
            continue;
        }
        if (OnSuccess)
            OnSuccess(this);
        if (m_deleted)
            m_deleted(msgNum);
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
            } else if (isDeletion(m_inFlight.first())) {
                settleDeletions(false);
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
    // Called inside the wait of a running operation: its answers are read
    // away first, so QUIT is answered by its own reply and the deletions made
    // so far become final. A listing then ends after the reply at hand.
    if (m_busy)
        m_listingStopped = true;
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

void TPop3Client::ListMessages()
{
    if (Busy())
        return;
    BusyScope busy(*this);
    VerifyConnected();
    const QByteArray reply = Transaction("LIST ");
    // A refusal is a single line: waiting for a list would only end in the time-out.
    if (stripLineEnd(NthField(reply, ' ', 1)) == "-ERR")
        RaiseReply(reply);
    readList();
}

void TPop3Client::readList()
{
    QByteArray line;
    while (ReadAnswerLine(line)) {
        if (!OnList)
            continue;
        const QByteArray entry = stripLineEnd(line);
        OnList(toInteger(NthField(entry, ' ', 1)), toInteger(NthField(entry, ' ', 2)));
    }
}

void TPop3Client::RetrieveSummary(int MsgNum)
{
    if (Busy())
        return;
    BusyScope busy(*this);
    VerifyConnected();
    if (OnRetrieveStart)
        OnRetrieveStart(this);
    const QByteArray top = Transaction("TOP " + QByteArray::number(MsgNum) + " 0");
    if (!IsPositive(top))
        RaiseReply(top);
    m_summary.clear();
    QByteArray line;
    while (ReadAnswerLine(line))
        TakeSummaryLine(line);
    const QByteArray list = Transaction("LIST " + QByteArray::number(MsgNum));
    m_summary.Bytes = toInteger(NthField(list, ' ', 3).trimmed());
    ReportStatus(1, u"Zusammenfassung erhalten"_s);
    if (OnRetrieveEnd)
        OnRetrieveEnd(this);
}

void TPop3Client::RetrieveSummaries(int First, int Last, const TCondemnedEvent& Condemned, const TDeletedEvent& Deleted,
                                    bool ListFirst)
{
    if (Busy())
        return;
    BusyScope busy(*this);
    VerifyConnected();
    m_listingStopped = false;
    m_deleted = Deleted;
    const auto forget = qScopeGuard([this] { m_deleted = {}; });
    const bool pipelined = HasCapability("PIPELINING");

    // The commands still to send: the whole LIST if asked for, then TOP n 0 and LIST n for every message.
    bool listPending = ListFirst;
    int nextMsg = First;
    bool nextIsList = false;
    const auto more = [&] { return listPending || nextMsg <= Last; };
    const auto nextCommand = [&] {
        if (listPending) {
            listPending = false;
            return QByteArray("LIST ");
        }
        const QByteArray number = QByteArray::number(nextMsg);
        const QByteArray command = nextIsList ? QByteArray("LIST " + number) : QByteArray("TOP " + number + " 0");
        if (nextIsList)
            ++nextMsg;
        nextIsList = !nextIsList;
        return command;
    };
    const auto send = [&](const QByteArray& command) {
        if (pipelined)
            postCommands({command});
        else
            sendCommand(command);
    };
    // One command at a time without PIPELINING. With it the queue is topped up
    // in pieces of a few hundred commands: few writes carry many commands, and
    // the link never runs dry while the server still has work queued.
    const auto fill = [&] {
        if (!pipelined) {
            if (m_inFlight.isEmpty() && more())
                send(nextCommand());
            return;
        }
        if (m_inFlight.size() > PipelineDepth - 256)
            return;
        QList<QByteArray> batch;
        while (m_inFlight.size() + batch.size() < PipelineDepth && more())
            batch.append(nextCommand());
        postCommands(batch);
    };
    const auto reply = [&] {
        fill();
        settleDeletions(true);
        return takeReply();
    };

    try {
        if (ListFirst) {
            const QByteArray list = reply();
            if (stripLineEnd(NthField(list, ' ', 1)) == "-ERR")
                RaiseReply(list);
            readList();
        }
        for (int n = First; n <= Last && !m_listingStopped; ++n) {
            if (OnRetrieveStart)
                OnRetrieveStart(this);
            const QByteArray top = reply();
            if (!IsPositive(top))
                RaiseReply(top);
            m_summary.clear();
            QByteArray line;
            while (ReadAnswerLine(line))
                TakeSummaryLine(line);
            const QByteArray list = reply();
            m_summary.Bytes = toInteger(NthField(list, ' ', 3).trimmed());
            ReportStatus(1, u"Zusammenfassung erhalten"_s);
            if (OnRetrieveEnd)
                OnRetrieveEnd(this);
            if (!m_listingStopped && Condemned && Condemned(n)) {
                send("DELE " + QByteArray::number(n));
                settleDeletions(true);
            }
        }
        // Only the replies of the last deletions can still be due.
        if (!m_listingStopped)
            settleDeletions(true);
    } catch (...) {
        // Ended by a Disconnect inside a wait: what was listed stands.
        if (m_listingStopped)
            return;
        settleInFlight();
        throw;
    }
}

void TPop3Client::TakeSummaryLine(const QByteArray& Line)
{
    const QByteArray text = stripLineEnd(Line);
    // Only the exact field names count here, and a later line wins.
    if (text.startsWith("Subject:"))
        m_summary.Subject = text.mid(8);
    else if (text.startsWith("From:"))
        m_summary.From = text.mid(5);
    else if (text.startsWith("Message-ID:"))
        m_summary.MessageId = text.mid(12, 256);
    m_summary.Header.append(text);
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
            if (dele.isEmpty() || stripLineEnd(NthField(dele, ' ', 1)) == "-ERR")
                RaiseReply(dele);
        }
        ReportStatus(1, u"Meldung erhalten"_s);
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
            walk.addLine(withoutLineEnd(line));
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

void TPop3Client::DeleteMessage(int MsgNum)
{
    if (Busy())
        return;
    {
        BusyScope busy(*this);
        VerifyConnected();
        const QByteArray reply = Transaction("DELE " + QByteArray::number(MsgNum));
        // A closed connection or a bare "-ERR" is a refusal too, not a deletion.
        if (reply.isEmpty() || stripLineEnd(NthField(reply, ' ', 1)) == "-ERR") {
            if (OnFailure)
                OnFailure(this);
            RaiseReply(reply);
        }
    }
    if (OnSuccess)
        OnSuccess(this);
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

QMap<int, QByteArray> TPop3Client::UniqueIds()
{
    QMap<int, QByteArray> ids;
    if (Busy())
        return ids;
    BusyScope busy(*this);
    VerifyConnected();
    const QByteArray reply = Transaction("UIDL");
    if (!IsPositive(reply))
        RaiseReply(reply);
    QByteArray line;
    while (ReadAnswerLine(line)) {
        const QByteArray entry = stripLineEnd(line).trimmed();
        const qsizetype blank = entry.indexOf(' ');
        if (blank <= 0)
            continue;
        bool ok = false;
        const int number = entry.left(blank).toInt(&ok);
        const QByteArray id = entry.mid(blank + 1).trimmed();
        if (ok && number > 0 && !id.isEmpty())
            ids.insert(number, id);
    }
    return ids;
}
