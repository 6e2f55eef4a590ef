// The listing side of the client: LIST, UIDL and the summaries of a check.
#include "AnsiText.h"
#include "Pop3Client.h"
#include "Pop3Reply.h"
#include "Pop3Text.h"
#include "UiLanguage.h"

#include <QScopeGuard>
#include <QTimer>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

int toInteger(const QByteArray& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw Exception(u"'"_s + AnsiText::fromAnsi(text) +
                        byLanguage(u"' ist kein gültiger Integerwert"_s, u"' is not a valid integer value"_s));
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
    ReportStatus(1, byLanguage(u"Zusammenfassung erhalten"_s, u"Summary received"_s));
    if (OnRetrieveEnd)
        OnRetrieveEnd(this);
}

void TPop3Client::RetrieveSummaries(int First, int Last, const TCondemnedEvent& Condemned, const TDeletedEvent& Deleted,
                                    bool ListFirst)
{
    Q_UNUSED(ListFirst);
    if (Busy())
        return;
    VerifyConnected();
    bool done = false;
    bool failed = false;
    {
        const QList<QMetaObject::Connection> links = {
            connect(this, &TPop3Client::listingFinished, this, [&done] { done = true; }),
            connect(this, &TPop3Client::sessionFailed, this,
                    [&] {
                        done = true;
                        failed = true;
                    }),
            connect(this, &TPop3Client::summaryListed, this,
                    [&](int msgNum, const TSummary&) {
                        if (OnRetrieveEnd)
                            OnRetrieveEnd(this);
                        if (m_state == TPop3State::Listing && !m_stopping && Condemned && Condemned(msgNum))
                            QueueDeletion(msgNum);
                    }),
            connect(this, &TPop3Client::deletionAnswered, this,
                    [&](int msgNum, bool accepted, const QByteArray& reply) {
                        if (accepted) {
                            if (Deleted)
                                Deleted(msgNum);
                        } else if (m_state == TPop3State::Listing && !m_stopping) {
                            // A refused deletion ends the listing as a failure.
                            try {
                                RaiseReply(reply);
                            } catch (...) {
                                fail(std::current_exception());
                            }
                        }
                    }),
        };
        m_summaryStart = [this](QObject*) {
            if (OnRetrieveStart)
                OnRetrieveStart(this);
        };
        const auto unlink = qScopeGuard([&] {
            for (const QMetaObject::Connection& link : links)
                disconnect(link);
            m_summaryStart = {};
        });
        StartListing(First, Last, false);
        WaitForStep([&done] { return done; }, false);
    }
    if (failed && m_failure)
        std::rethrow_exception(m_failure);
}

void TPop3Client::StartListing(int First, int Last, bool WithUidl)
{
    if (m_state != TPop3State::Ready || !Connected()) {
        failLater(byLanguage(u"Nicht verbunden"_s, u"Not connected"_s));
        return;
    }
    beginListing(First, Last, WithUidl, false);
    m_listPending = true;
    m_uidlPending = WithUidl && HasCapability("UIDL");
    topUpListing();
}

void TPop3Client::ListAfterLogon(bool WithUidl, bool ChooseAfterUidl)
{
    m_listOnLogon = true;
    m_listWithUidl = WithUidl;
    m_chooseAfterUidl = ChooseAfterUidl;
}

void TPop3Client::beginListing(int First, int Last, bool WithUidl, bool ChooseAfterUidl)
{
    m_nextMsg = First;
    m_lastMsg = Last;
    m_listPending = false;
    m_uidlPending = false;
    m_pipelined = HasCapability("PIPELINING");
    m_awaitingChoice = ChooseAfterUidl && WithUidl && HasCapability("UIDL");
    m_chosen.clear();
    m_chosenNext = 0;
    m_byChoice = false;
    m_stopping = false;
    m_quitAfterStop = false;
    m_pendingDeletions.clear();
    m_pendingFailure = {};
    m_sizes.clear();
    m_ids.clear();
    m_startedTop.clear();
    setBusy(true);
    setState(TPop3State::Listing);
}

void TPop3Client::ChooseSummaries(const QList<int>& Numbers)
{
    if (m_state != TPop3State::Listing || !m_awaitingChoice)
        return;
    m_awaitingChoice = false;
    m_byChoice = true;
    for (int number : Numbers) {
        if (number >= m_nextMsg && number <= m_lastMsg)
            m_chosen.append(number);
    }
    std::sort(m_chosen.begin(), m_chosen.end());
    m_chosen.erase(std::unique(m_chosen.begin(), m_chosen.end()), m_chosen.end());
    topUpListing();
}

bool TPop3Client::moreSummaries() const
{
    if (m_awaitingChoice)
        return false;
    return m_byChoice ? m_chosenNext < m_chosen.size() : m_nextMsg <= m_lastMsg;
}

int TPop3Client::nextSummary()
{
    return m_byChoice ? m_chosen.at(m_chosenNext++) : m_nextMsg++;
}

void TPop3Client::QueueDeletion(int MsgNum)
{
    if (m_state != TPop3State::Listing || m_stopping)
        return;
    m_pendingDeletions.append(MsgNum);
    topUpListing();
}

void TPop3Client::StopListing()
{
    if (m_state != TPop3State::Listing || m_stopping)
        return;
    m_stopping = true;
    m_pendingDeletions.clear();
    // Ends from the event loop even when nothing is due any more.
    QTimer::singleShot(0, this, [this] {
        try {
            if (m_state == TPop3State::Listing)
                advance();
        } catch (...) {
        }
    });
}

void TPop3Client::topUpListing()
{
    try {
        fillListing();
        StartTimeOut();
    } catch (...) {
        failSoon(std::current_exception());
    }
}

void TPop3Client::fillListing()
{
    if (m_stopping || m_state != TPop3State::Listing)
        return;
    const auto more = [this] { return m_listPending || m_uidlPending || moreSummaries(); };
    const auto next = [this] {
        if (std::exchange(m_listPending, false))
            return QByteArray("LIST");
        if (std::exchange(m_uidlPending, false))
            return QByteArray("UIDL");
        return QByteArray("TOP " + QByteArray::number(nextSummary()) + " 0");
    };
    QList<QByteArray> batch;
    if (!m_pipelined) {
        // One command at a time; a condemned message's DELE before the next summary.
        if (!m_inFlight.isEmpty() || m_answerOpen)
            return;
        if (!m_pendingDeletions.isEmpty())
            batch.append("DELE " + QByteArray::number(m_pendingDeletions.takeFirst()));
        else if (more())
            batch.append(next());
    } else {
        // The queue is topped up in pieces of a few hundred commands: few
        // writes carry many commands, and the link never runs dry while the
        // server still has work queued.
        while (!m_pendingDeletions.isEmpty())
            batch.append("DELE " + QByteArray::number(m_pendingDeletions.takeFirst()));
        if (m_inFlight.size() <= PipelineDepth - 256) {
            while (m_inFlight.size() + batch.size() < PipelineDepth && more())
                batch.append(next());
        }
    }
    postCommands(batch);
}

void TPop3Client::finishListing()
{
    const std::exception_ptr failure = std::exchange(m_pendingFailure, {});
    m_stopping = false;
    setState(Connected() ? TPop3State::Ready : TPop3State::Closed);
    setBusy(false);
    if (failure)
        tellFailure(failure);
    else
        deliver([this] { emit listingFinished(); });
}

void TPop3Client::settleListing()
{
    m_stopping = true;
    m_pendingDeletions.clear();
    try {
        while (m_state == TPop3State::Listing && Connected() && (m_answerOpen || !m_inFlight.isEmpty())) {
            const QByteArray line = ReadLn();
            if (line.isEmpty())
                break;
            feedLine(line);
        }
    } catch (...) {
        if (Connected())
            CloseSocket();
    }
    if (m_state == TPop3State::Listing) {
        forgetInFlight();
        finishListing();
    }
}

void TPop3Client::listingReplied(const QByteArray& Command, const QByteArray& Reply)
{
    if (Command.startsWith("DELE ")) {
        const int msgNum = Command.mid(5).toInt();
        // A closed connection or a bare "-ERR" is a refusal too, not a deletion.
        const bool accepted = !Reply.isEmpty() && Pop3Reply::status(Reply) == Pop3Reply::Status::Positive;
        if (accepted ? bool(OnSuccess) : bool(OnFailure))
            (accepted ? OnSuccess : OnFailure)(this);
        deliver([&] { emit deletionAnswered(msgNum, accepted, Reply); });
        return;
    }
    // While stopping, the answers still due are read away unseen.
    if (m_stopping)
        return;
    if (Command == "UIDL" && !IsPositive(Reply)) {
        // A server that keeps no lasting ids is listed in full, as one
        // without UIDL.
        m_ids.clear();
        m_awaitingChoice = false;
        return;
    }
    // A refusal is a single line: waiting for a list would only end in the time-out.
    if (!IsPositive(Reply))
        RaiseReply(Reply);
    if (Command == "LIST" || Command == "UIDL") {
        m_scan = Pop3Reply::ScanListing(m_countKnown ? m_messageCount : -1);
    } else {
        m_summary.clear();
        m_headerEnded = false;
        m_headerBytes = 0;
    }
}

void TPop3Client::listingLine(const QByteArray& Command, const QByteArray& Line)
{
    if (m_stopping)
        return;
    if (Command == "LIST") {
        const std::optional<Pop3Reply::ScanLine> entry = m_scan.take(Line);
        bool ok = false;
        const int size = entry ? entry->rest.toInt(&ok) : 0;
        if (!ok || size < 0)
            outOfStep("LIST", Line);
        m_sizes.insert(entry->number, size);
        if (OnList)
            OnList(entry->number, size);
    } else if (Command == "UIDL") {
        const std::optional<Pop3Reply::ScanLine> entry = m_scan.take(Line);
        if (!entry)
            outOfStep("UIDL", Line);
        m_ids.insert(entry->number, entry->rest);
    } else {
        TakeSummaryLine(Line);
    }
}

void TPop3Client::listingEnded(const QByteArray& Command)
{
    if (m_stopping)
        return;
    if (Command == "UIDL") {
        deliver([this] { emit uidsListed(m_ids); });
        // Nobody chose: every header is read.
        m_awaitingChoice = false;
    } else if (Command.startsWith("TOP ")) {
        const int msgNum = Command.mid(4).split(' ').value(0).toInt();
        // The size from the one LIST answer: no LIST n per message.
        m_summary.Bytes = m_sizes.value(msgNum, 0);
        ReportStatus(1, byLanguage(u"Zusammenfassung erhalten"_s, u"Summary received"_s));
        deliver([&] { emit summaryListed(msgNum, m_summary); });
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
