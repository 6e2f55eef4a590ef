// The listing side of the client: LIST, UIDL and the summaries of a check.
#include "AnsiText.h"
#include "Pop3Client.h"
#include "Pop3Reply.h"
#include "Pop3Text.h"

#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace {

int toInteger(const QByteArray& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw Exception(u"'"_s + AnsiText::fromAnsi(text) + u"' ist kein gültiger Integerwert"_s);
    return value;
}

} // namespace

void TPop3Client::ListMessages()
{
    if (Busy())
        return;
    BusyScope busy(*this);
    VerifyConnected();
    const QByteArray reply = Transaction("LIST");
    // A refusal is a single line: waiting for a list would only end in the time-out.
    if (Pop3Reply::status(reply) == Pop3Reply::Status::Negative)
        RaiseReply(reply);
    readList();
}

void TPop3Client::readList()
{
    Pop3Reply::ScanListing scan(m_countKnown ? m_messageCount : -1);
    QByteArray line;
    while (ReadAnswerLine(line)) {
        const std::optional<Pop3Reply::ScanLine> entry = scan.take(line);
        bool ok = false;
        const int size = entry ? entry->rest.toInt(&ok) : 0;
        if (!ok || size < 0)
            outOfStep("LIST", line);
        if (OnList)
            OnList(entry->number, size);
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
    readSummaryHeader(Transaction("TOP " + QByteArray::number(MsgNum) + " 0"));
    m_summary.Bytes = toInteger(NthField(Transaction("LIST " + QByteArray::number(MsgNum)), ' ', 3).trimmed());
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
            return QByteArray("LIST");
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
            if (Pop3Reply::status(list) == Pop3Reply::Status::Negative)
                RaiseReply(list);
            readList();
        }
        for (int n = First; n <= Last && !m_listingStopped; ++n) {
            if (OnRetrieveStart)
                OnRetrieveStart(this);
            readSummaryHeader(reply());
            m_summary.Bytes = toInteger(NthField(reply(), ' ', 3).trimmed());
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

void TPop3Client::readSummaryHeader(const QByteArray& Top)
{
    if (!IsPositive(Top))
        RaiseReply(Top);
    m_summary.clear();
    m_headerEnded = false;
    m_headerBytes = 0;
    QByteArray line;
    while (ReadAnswerLine(line))
        TakeSummaryLine(line);
}

void TPop3Client::TakeSummaryLine(const QByteArray& Line)
{
    // The header ends at the first empty line: a server that answers TOP n 0
    // with the whole message must not have lines of its body screened.
    if (m_headerEnded)
        return;
    const QByteArray text = Pop3Reply::withoutLineEnd(Line).toByteArray();
    if (text.isEmpty()) {
        m_headerEnded = true;
        m_summary.Header.append(text);
        return;
    }
    // No header field begins like a status line: this is the next reply, and
    // the answer to TOP never ended where it should have.
    if (Pop3Reply::status(text) != Pop3Reply::Status::Unknown)
        outOfStep("TOP", Line);
    m_headerBytes += text.size();
    if (m_headerBytes > Pop3Reply::MaxHeaderBytes)
        tooLong("TOP", Pop3Reply::MaxHeaderBytes);
    // Only the exact field names count here, and a later line wins.
    if (text.startsWith("Subject:"))
        m_summary.Subject = text.mid(8);
    else if (text.startsWith("From:"))
        m_summary.From = text.mid(5);
    else if (text.startsWith("Message-ID:"))
        m_summary.MessageId = text.mid(12, 256);
    m_summary.Header.append(text);
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
    Pop3Reply::ScanListing scan(m_countKnown ? m_messageCount : -1);
    QByteArray line;
    while (ReadAnswerLine(line)) {
        const std::optional<Pop3Reply::ScanLine> entry = scan.take(line);
        if (!entry)
            outOfStep("UIDL", line);
        ids.insert(entry->number, entry->rest);
    }
    return ids;
}
