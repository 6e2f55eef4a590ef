#include "FakePop3Server.h"
#include "Pop3Client.h"
#include "Pop3Text.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <ctime>

using namespace Qt::StringLiterals;
using namespace Pop3Script;

namespace {

// A client pointed at the fake server that writes every event it raises into
// a list, so a test can compare what happened and in which order.
struct Probe
{
    explicit Probe(FakePop3Server& fake, int timeOut = 3000)
    {
        client.Host = u"127.0.0.1"_s;
        client.Port = fake.port();
        client.UserID = u"u"_s;
        client.Password = u"p"_s;
        client.TimeOut = timeOut;
        client.ReportLevel = 1;
        client.OnConnect = [this](QObject*) { events << u"connect"_s; };
        client.OnDisconnect = [this](QObject*) { events << u"disconnect"_s; };
        client.OnConnectionFailed = [this](QObject*) { events << u"connection failed"_s; };
        client.OnRetrieveStart = [this](QObject*) { events << u"start"_s; };
        client.OnRetrieveEnd = [this](QObject*) { events << u"end"_s; };
        client.OnSuccess = [this](QObject*) { events << u"success"_s; };
        client.OnFailure = [this](QObject*) { events << u"failure"_s; };
        client.OnReset = [this](QObject*) { events << u"reset"_s; };
        client.OnStatus = [this](QObject*, const QString& s) { events << u"status "_s + s.trimmed(); };
    }

    // Runs one call and gives the message of the exception it raised, if any.
    template <typename F> QString failure(F&& call)
    {
        try {
            call();
        } catch (const Exception& e) {
            return e.message();
        }
        return {};
    }

    TPop3Client client;
    QStringList events;
};

FakeScript loggedOn(int count)
{
    return greeting() + login("u", "p") + stat(count);
}

FakeScript pipelining(int count)
{
    return greeting("+OK POP3 server ready", {"PIPELINING"}) + login("u", "p") + stat(count);
}

const QList<QByteArray> kHeaders[] = {
    {"From: a@example.org", "Subject: eins"},
    {"From: b@example.org", "Subject: zwei"},
    {"From: c@example.org", "Subject: drei"},
};

// Records the summary of every message as the listing delivers it.
void recordSummaries(Probe& p)
{
    p.client.ReportLevel = 0;
    p.client.OnRetrieveEnd = [&p](QObject*) {
        p.events << u"end"_s + QString::fromLatin1(p.client.Summary().Subject) + u' ' +
                        QString::number(p.client.Summary().Bytes);
    };
}

} // namespace

class TestPop3Client : public QObject
{
    Q_OBJECT

private slots:
    void logon_data();
    void logon();
    void capabilitiesAtLogon_data();
    void capabilitiesAtLogon();
    void summaryFromPackets_data();
    void summaryFromPackets();
    void listMessages();
    void refusedPasswordWithStatAlongside();
    void summariesOfAListing_data();
    void summariesOfAListing();
    void failureInAPipelinedListing_data();
    void failureInAPipelinedListing();
    void disconnectEndsAListing_data();
    void disconnectEndsAListing();
    void sessionWithoutAWait_data();
    void sessionWithoutAWait();
    void listRefusedDoesNotWait();
    void overlongLineFailsWithoutHang_data();
    void overlongLineFailsWithoutHang();
    void silentServerTimesOutAndCloses();
    void timeOutZeroWaitsWithoutLimit();
    void serverClosesMidAnswer_data();
    void serverClosesMidAnswer();
    void outOfStepDropsWithoutQuit_data();
    void outOfStepDropsWithoutQuit();
    void headerEndsAtTheFirstEmptyLine();
    void idleSessionClosedByTheServer();
    void deleteMessage_data();
    void deleteMessage();
    void resetSendsRsetAndReports();
    void refusedResetIsNoReset();
    void nestedCallsDoNothingWhileBusy();
    void nestedWaitKeepsTheOuterTimeOut();
    void disconnectDuringAWaitCancelsIt();
    void operationsNeedConnection();
    void unresolvedHost_data();
    void unresolvedHost();
    void connectionRefused();
    void transactionReplyNumber_data();
    void transactionReplyNumber();
    void instancesAreCounted();
    void errorText_data();
    void errorText();
    void textFunctions_data();
    void textFunctions();
    // Runs last: it ends the application's event processing for good.
    void programEndingCancelsAWait();
};

void TestPop3Client::logon_data()
{
    QTest::addColumn<FakeScript>("script");
    QTest::addColumn<bool>("retry");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("handlerCalls");

    const QString authFailed = u"Die Authentifizierung ist fehlgeschlagen"_s;
    const QStringList none;
    const QStringList connectDisconnect = {u"connect"_s, u"disconnect"_s};
    QTest::newRow("greeting refused: QUIT, the greeting as error")
        << greeting("-ERR busy") + quit() << false << u"-ERR busy\r\n"_s << 0 << QStringList{u"disconnect"_s} << 0;
    QTest::newRow("USER refused without handler") << greeting() + client("USER u") + server("-ERR who") + quit()
                                                  << false << authFailed << 0 << QStringList{u"disconnect"_s} << 0;
    QTest::newRow("PASS refused, handler declines")
        << greeting() + client("USER u") + server("+OK") + client("PASS p") + server("-ERR no") + quit() << false
        << authFailed << 0 << QStringList{u"disconnect"_s} << 1;
    QTest::newRow("USER refused once, retry succeeds")
        << greeting() + client("USER u") + server("-ERR who") + login("u", "p2") + stat(3) + quit() << true << QString()
        << 3 << connectDisconnect << 1;
    QTest::newRow("PASS refused twice: logon tried at most twice")
        << greeting() + client("USER u") + server("+OK") + client("PASS p") + server("-ERR no") + client("USER u") +
               server("+OK") + client("PASS p2") + server("-ERR no") + quit()
        << true << authFailed << 0 << QStringList{u"disconnect"_s} << 1;
    QTest::newRow("STAT with a count") << loggedOn(3) + quit() << false << QString() << 3 << connectDisconnect << 0;
    QTest::newRow("STAT without a count") << greeting() + login("u", "p") + client("STAT") + server("+OK") + quit()
                                          << false << QString() << 0 << connectDisconnect << 0;
    QTest::newRow("STAT refused: closed, no OnConnect, the reply as error")
        << greeting() + login("u", "p") + client("STAT") + server("-ERR locked") + quit() << false
        << u"-ERR locked\r\n"_s << 0 << QStringList{u"disconnect"_s} << 0;
    QTest::newRow("-ERR+OK is a refusal") << greeting("-ERR+OK busy") + quit() << false << u"-ERR+OK busy\r\n"_s << 0
                                          << QStringList{u"disconnect"_s} << 0;
    FakeScript endless = server("+OK hi") + client("CAPA") + server("+OK");
    for (int i = 0; i < 300; ++i)
        endless += server("X-ENDLESS " + QByteArray(250, 'x'));
    QTest::newRow("capabilities without end: dropped before USER")
        << endless << false << u"Antwort auf CAPA länger als 65536 Bytes, Verbindung getrennt"_s << 0
        << QStringList{u"disconnect"_s} << 0;
    QTest::newRow("server closes after USER: no password question for a closed connection")
        << greeting() + client("USER u") + close() << true << u"Die Verbindung wurde vom Server geschlossen"_s << 0
        << QStringList{u"disconnect"_s} << 0;
    QTest::newRow("server closes before the greeting")
        << close() << false << u"Die Verbindung wurde vom Server geschlossen"_s << 0 << QStringList{u"disconnect"_s}
        << 0;
}

void TestPop3Client::logon()
{
    QFETCH(FakeScript, script);
    QFETCH(bool, retry);
    QFETCH(QString, error);
    QFETCH(int, count);
    QFETCH(QStringList, events);
    QFETCH(int, handlerCalls);
    FakePop3Server fake(script);
    Probe p(fake);
    p.client.ReportLevel = 0;
    int calls = 0;
    if (handlerCalls > 0 || retry) {
        p.client.OnAuthenticationFailed = [&](bool& handled) {
            ++calls;
            handled = retry;
            p.client.Password = u"p2"_s;
        };
    }

    QCOMPARE(p.failure([&] { p.client.Connect(); }), error);
    QVERIFY(!p.client.Busy());
    QCOMPARE(p.client.MessageCount(), count);
    if (error.isEmpty()) {
        QVERIFY(p.client.Connected());
        p.client.Disconnect();
    }
    QVERIFY(!p.client.Connected());
    QCOMPARE(p.events, events);
    QCOMPARE(calls, handlerCalls);
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::capabilitiesAtLogon_data()
{
    QTest::addColumn<FakeScript>("script");
    QTest::addColumn<QList<QByteArray>>("capabilities");
    QTest::addColumn<bool>("connected");

    QTest::newRow("refused: none, the log-on goes on")
        << greeting() + login("u", "p") + stat(0) + quit() << QList<QByteArray>{} << true;
    QTest::newRow("listed, blanks and empty lines dropped")
        << server("+OK hi") + client("CAPA") + server("+OK") + server("TOP") + server("  PIPELINING ") + server("") +
               server("SASL PLAIN") + server(".") + login("u", "p") + stat(0) + quit()
        << QList<QByteArray>{"TOP", "PIPELINING", "SASL PLAIN"} << true;
    QTest::newRow("server closes inside the list")
        << server("+OK hi") + client("CAPA") + server("+OK") + server("TOP") + close() << QList<QByteArray>{} << false;
}

void TestPop3Client::capabilitiesAtLogon()
{
    QFETCH(FakeScript, script);
    QFETCH(QList<QByteArray>, capabilities);
    QFETCH(bool, connected);
    FakePop3Server fake(script);
    Probe p(fake);
    const QString error = p.failure([&] { p.client.Connect(); });
    QCOMPARE(error.isEmpty(), connected);
    if (connected) {
        QCOMPARE(p.client.Capabilities(), capabilities);
        QCOMPARE(p.client.HasCapability("pipelining"), capabilities.contains("PIPELINING"));
        QCOMPARE(p.client.HasCapability("SASL"), capabilities.contains("SASL PLAIN"));
        QVERIFY(!p.client.HasCapability("PIPE"));
        p.client.Disconnect();
    }
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::summaryFromPackets_data()
{
    QTest::addColumn<FakeScript>("answer");
    QTest::addColumn<QList<QByteArray>>("header");
    QTest::addColumn<QByteArray>("subject");

    const QList<QByteArray> plain = {"From: Ann <ann@example.org>", "Subject: Hello", "Message-ID: <1@x>", ""};
    QTest::newRow("one packet per line") << packet("+OK\r\n") + packet("From: Ann <ann@example.org>\r\n") +
                                                packet("Subject: Hello\r\n") + packet("Message-ID: <1@x>\r\n") +
                                                packet("\r\n") + packet(".\r\n")
                                         << plain << QByteArray(" Hello");
    QTest::newRow("lines split inside and across packets")
        << packet("+O") + packet("K\r\nFrom: Ann <ann@ex") + packet("ample.org>\r") + packet("\nSubject: Hel") +
               packet("lo\r\nMessage-ID: <1@x>\r\n\r\n.") + packet("\r\n")
        << plain << QByteArray(" Hello");
    QTest::newRow("whole answer in one packet")
        << packet("+OK\r\nFrom: Ann <ann@example.org>\r\nSubject: Hello\r\nMessage-ID: <1@x>\r\n\r\n.\r\n") << plain
        << QByteArray(" Hello");
    QTest::newRow("dot-stuffed lines lose one dot, \"..\" does not end the answer")
        << packet("+OK\r\nSubject: Hi\r\n..\r\n...x\r\n\r\n.\r\n") << QList<QByteArray>{"Subject: Hi", ".", "..x", ""}
        << QByteArray(" Hi");
    QTest::newRow("later header wins, other case not recognised")
        << packet("+OK\r\nSubject: one\r\nSUBJECT: caps\r\nSubject: two\r\n.\r\n")
        << QList<QByteArray>{"Subject: one", "SUBJECT: caps", "Subject: two"} << QByteArray(" two");
}

void TestPop3Client::summaryFromPackets()
{
    QFETCH(FakeScript, answer);
    QFETCH(QList<QByteArray>, header);
    QFETCH(QByteArray, subject);
    FakePop3Server fake(loggedOn(1) + client("TOP 1 0") + answer + list(1, 4711) + quit());
    Probe p(fake);
    p.client.Connect();
    p.events.clear();

    p.client.RetrieveSummary(1);
    QCOMPARE(p.client.Summary().Header, header);
    QCOMPARE(p.client.Summary().Subject, subject);
    QCOMPARE(p.client.Summary().Bytes, 4711);
    if (header.first().startsWith("From")) {
        QCOMPARE(p.client.Summary().From, QByteArray(" Ann <ann@example.org>"));
        QCOMPARE(p.client.Summary().MessageId, QByteArray("<1@x>"));
    }
    QCOMPARE(p.events, (QStringList{u"start"_s, u"status +OK"_s, u"status +OK 1 4711"_s,
                                    u"status Zusammenfassung erhalten"_s, u"end"_s}));
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::listMessages()
{
    FakePop3Server fake(loggedOn(2) + client("LIST") + server("+OK 2 messages") + server("1 120") + server("2 4711") +
                        server(".") + quit());
    Probe p(fake);
    p.client.Connect();
    QList<std::pair<int, int>> listed;
    p.client.OnList = [&](int msg, int size) { listed.append({msg, size}); };
    p.client.ListMessages();
    QCOMPARE(listed, (QList<std::pair<int, int>>{{1, 120}, {2, 4711}}));
    QVERIFY(!p.client.Busy());
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::refusedPasswordWithStatAlongside()
{
    // With PIPELINING, PASS goes out with USER, but STAT waits for PASS's
    // reply: a server like Courier drops what arrives together with PASS.
    FakePop3Server fake(greeting("+OK POP3 server ready", {"PIPELINING"}) + client("USER u") + client("PASS p") +
                        server("+OK") + server("-ERR [AUTH] Authentication failed.") + client("USER u") +
                        client("PASS p2") + server("+OK") + server("+OK logged in") + stat(2, 300) + quit());
    fake.setNothingAfterPass(true);
    Probe p(fake);
    p.client.OnAuthenticationFailed = [&p](bool& handled) {
        p.client.Password = u"p2"_s;
        handled = true;
    };
    p.client.Connect();
    QCOMPARE(p.client.MessageCount(), 2);
    QVERIFY(p.client.InFlight().isEmpty());
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::summariesOfAListing_data()
{
    QTest::addColumn<bool>("pipelined");
    QTest::addColumn<FakeScript>("script");
    QTest::addColumn<QStringList>("deletion"); // where the deletion of message 2 is confirmed
    // Without PIPELINING every command waits for the answer before it.
    QTest::newRow("one at a time") << false
                                   << loggedOn(3) + listAll({100, 200, 300}) + top(1, kHeaders[0]) +
                                          top(2, kHeaders[1]) + dele(2) + top(3, kHeaders[2]) + quit()
                                   << QStringList{u"end zwei 200"_s, u"success"_s, u"deleted 2"_s, u"start"_s};
    // With it every summary is asked for before the first answer; the DELE
    // of a condemned message follows in the stream and is answered after the
    // commands that were already on their way.
    QTest::newRow("pipelined") << true
                               << pipelining(3) + listAll({100, 200, 300}) + summaryCommands(1, 3) +
                                      topReply(kHeaders[0]) + topReply(kHeaders[1]) + client("DELE 2") +
                                      topReply(kHeaders[2]) + server("+OK deleted") + quit()
                               << QStringList{u"end drei 300"_s, u"success"_s, u"deleted 2"_s};
}

void TestPop3Client::summariesOfAListing()
{
    QFETCH(bool, pipelined);
    QFETCH(FakeScript, script);
    QFETCH(QStringList, deletion);
    FakePop3Server fake(script);
    fake.setOneAtATime(!pipelined);
    Probe p(fake);
    recordSummaries(p);
    p.client.Connect();
    QCOMPARE(p.client.HasCapability("PIPELINING"), pipelined);
    p.events.clear();
    p.client.RetrieveSummaries(
        1, 3, [](int n) { return n == 2; }, [&p](int n) { p.events << u"deleted "_s + QString::number(n); });
    QVERIFY(p.client.InFlight().isEmpty());
    QVERIFY(!p.client.Busy());
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);

    // The same summaries in the same order either way; only the consent to the
    // deletion may come later in the stream.
    QStringList withoutDeletion = p.events;
    withoutDeletion.removeAll(u"success"_s);
    withoutDeletion.removeAll(u"deleted 2"_s);
    QCOMPARE(withoutDeletion, (QStringList{u"start"_s, u"end eins 100"_s, u"start"_s, u"end zwei 200"_s, u"start"_s,
                                           u"end drei 300"_s, u"disconnect"_s}));
    const qsizetype at = p.events.indexOf(deletion.first());
    QCOMPARE(p.events.mid(at, deletion.size()), deletion);
}

void TestPop3Client::failureInAPipelinedListing_data()
{
    QTest::addColumn<FakeScript>("answers"); // after the summary commands of messages 1 to 3
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("usable"); // the connection can take the next command
    QTest::newRow("refused TOP") << topReply(kHeaders[0]) + server("-ERR no such message") + topReply(kHeaders[2]) +
                                        dele(1) + quit()
                                 << u"-ERR no such message\r\n"_s << true;
    QTest::newRow("closed in the middle") << topReply(kHeaders[0]) + server("+OK") + close()
                                          << u"Die Verbindung wurde während der Antwort geschlossen"_s << false;
}

void TestPop3Client::failureInAPipelinedListing()
{
    QFETCH(FakeScript, answers);
    QFETCH(QString, error);
    QFETCH(bool, usable);
    FakePop3Server fake(pipelining(3) + listAll({100, 200, 300}) + summaryCommands(1, 3) + answers);
    Probe p(fake);
    recordSummaries(p);
    p.client.Connect();
    p.events.clear();
    QCOMPARE(p.failure([&] { p.client.RetrieveSummaries(1, 3); }), error);
    p.events.removeAll(u"disconnect"_s);
    QCOMPARE(p.events, (QStringList{u"start"_s, u"end eins 100"_s, u"start"_s}));
    // The answers still due were read away: the next command gets its own reply.
    QVERIFY(p.client.InFlight().isEmpty());
    QCOMPARE(p.client.Connected(), usable);
    if (usable) {
        p.client.DeleteMessage(1);
        p.client.Disconnect();
    }
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::disconnectEndsAListing_data()
{
    QTest::addColumn<bool>("pipelined");
    QTest::addColumn<FakeScript>("script");
    QTest::newRow("one at a time") << false << loggedOn(3) + listAll({100, 200, 300}) + top(1, kHeaders[0]) + quit();
    // The answers already on their way are read before QUIT, so QUIT is
    // answered by its own reply and the deletions become final.
    QTest::newRow("pipelined") << true
                               << pipelining(3) + listAll({100, 200, 300}) + summaryCommands(1, 3) +
                                      topReply(kHeaders[0]) + topReply(kHeaders[1]) + topReply(kHeaders[2]) + quit();
}

void TestPop3Client::disconnectEndsAListing()
{
    QFETCH(bool, pipelined);
    QFETCH(FakeScript, script);
    FakePop3Server fake(script);
    fake.setOneAtATime(!pipelined);
    Probe p(fake);
    recordSummaries(p);
    p.client.Connect();
    p.events.clear();
    const auto end = p.client.OnRetrieveEnd;
    p.client.OnRetrieveEnd = [&](QObject* sender) {
        end(sender);
        p.client.Disconnect();
    };
    QCOMPARE(p.failure([&] { p.client.RetrieveSummaries(1, 3); }), QString());
    QCOMPARE(p.events, (QStringList{u"start"_s, u"end eins 100"_s, u"disconnect"_s}));
    QVERIFY(!p.client.Connected());
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::sessionWithoutAWait_data()
{
    QTest::addColumn<FakeScript>("script");
    QTest::addColumn<bool>("pipelined");
    QTest::addColumn<int>("timeOut");
    QTest::addColumn<QStringList>("reactions");
    QTest::addColumn<QStringList>("events");
    const QStringList listed = {u"summary 1 eins 100"_s, u"summary 2 zwei 200"_s};
    QTest::newRow("pipelined, sizes from the one LIST, DELE from a handler")
        << pipelining(3) + listAll({100, 200, 300}) + summaryCommands(1, 3) + topReply(kHeaders[0]) +
               topReply(kHeaders[1]) + client("DELE 2") + topReply(kHeaders[2]) + server("+OK deleted") + quit()
        << true << 3000 << QStringList{u"dele 2"_s}
        << QStringList{u"ready 3"_s} + listed +
               QStringList{u"summary 3 drei 300"_s, u"deleted 2 true"_s, u"finished"_s, u"quit true"_s};
    QTest::newRow("one at a time, DELE before the next TOP")
        << loggedOn(3) + listAll({100, 200, 300}) + top(1, kHeaders[0]) + top(2, kHeaders[1]) + dele(2) +
               top(3, kHeaders[2]) + quit()
        << false << 3000 << QStringList{u"dele 2"_s}
        << QStringList{u"ready 3"_s} + listed +
               QStringList{u"deleted 2 true"_s, u"summary 3 drei 300"_s, u"finished"_s, u"quit true"_s};
    QTest::newRow("UIDL before the first summary")
        << greeting("+OK ready", {"UIDL"}) + login("u", "p") + stat(1) + listAll({100}) + client("UIDL") +
               server("+OK") + server("1 abc") + server(".") + top(1, kHeaders[0]) + quit()
        << false << 3000 << QStringList{u"uidl"_s}
        << QStringList{u"ready 1"_s, u"uids 1=abc"_s, u"summary 1 eins 100"_s, u"finished"_s, u"quit true"_s};
    QTest::newRow("stopped: the answers due are read away unseen")
        << pipelining(3) + listAll({100, 200, 300}) + summaryCommands(1, 3) + topReply(kHeaders[0]) +
               topReply(kHeaders[1]) + topReply(kHeaders[2]) + quit()
        << true << 3000 << QStringList{u"stop 1"_s}
        << QStringList{u"ready 3"_s, u"summary 1 eins 100"_s, u"finished"_s, u"quit true"_s};
    const FakeScript refused = greeting() + client("USER u") + server("+OK") + client("PASS p") + server("-ERR no");
    QTest::newRow("refused password, tried again with a new one")
        << refused + login("u", "p2") + stat(0) + listAll({}) + quit() << false << 3000 << QStringList{u"retry"_s}
        << QStringList{u"password"_s, u"ready 0"_s, u"finished"_s, u"quit true"_s};
    QTest::newRow("refused password, given up: QUIT, then the failure")
        << refused + quit() << false << 3000 << QStringList()
        << QStringList{u"password"_s, u"failed Die Authentifizierung ist fehlgeschlagen closed"_s};
    QTest::newRow("time-out during the listing")
        << loggedOn(2) + listAll({100, 200}) + top(1, kHeaders[0]) + client("TOP 2 0") + silence() << false << 200
        << QStringList()
        << QStringList{u"ready 2"_s, u"summary 1 eins 100"_s, u"failed Socket-readln abgebrochen closed timed out"_s};
}

void TestPop3Client::sessionWithoutAWait()
{
    QFETCH(FakeScript, script);
    QFETCH(bool, pipelined);
    QFETCH(int, timeOut);
    QFETCH(QStringList, reactions);
    QFETCH(QStringList, events);
    FakePop3Server fake(script);
    fake.setOneAtATime(!pipelined);
    Probe p(fake, timeOut);
    TPop3Client& c = p.client;
    QEventLoop loop;
    QStringList seen;
    // Every step is taken from a handler, inside the one loop this test runs:
    // a loop level above 1 would be a wait nested beneath a handler.
    const auto note = [&](const QString& event) {
        seen << event + (QThread::currentThread()->loopLevel() == 1 ? QString() : u" nested"_s);
    };
    connect(&c, &TPop3Client::passwordAsked, &c, [&] {
        note(u"password"_s);
        QTimer::singleShot(0, &c, [&] {
            c.Password = u"p2"_s;
            c.AnswerPassword(reactions.contains(u"retry"_s));
        });
    });
    connect(&c, &TPop3Client::sessionReady, &c, [&] {
        note(u"ready "_s + QString::number(c.MessageCount()));
        c.StartListing(1, c.MessageCount(), reactions.contains(u"uidl"_s));
    });
    connect(&c, &TPop3Client::uidsListed, &c,
            [&](const QMap<int, QByteArray>& ids) { note(u"uids 1="_s + QString::fromLatin1(ids.value(1))); });
    connect(&c, &TPop3Client::summaryListed, &c, [&](int n, const TSummary& summary) {
        const bool same = summary.Bytes == c.Summary().Bytes && summary.Subject == c.Summary().Subject;
        note(u"summary %1%2 %3"_s.arg(n).arg(QString::fromLatin1(summary.Subject)).arg(summary.Bytes) +
             (same ? QString() : u" differs"_s));
        if (reactions.contains(u"dele "_s + QString::number(n)))
            c.QueueDeletion(n);
        if (reactions.contains(u"stop "_s + QString::number(n)))
            c.StopListing();
    });
    connect(&c, &TPop3Client::deletionAnswered, &c, [&](int n, bool accepted, const QByteArray&) {
        note(u"deleted %1 %2"_s.arg(n).arg(accepted ? u"true"_s : u"false"_s));
    });
    connect(&c, &TPop3Client::listingFinished, &c, [&] {
        note(u"finished"_s);
        c.StartQuit();
    });
    connect(&c, &TPop3Client::quitAnswered, &c,
            [&](bool accepted, const QByteArray&) { note(u"quit "_s + (accepted ? u"true"_s : u"false"_s)); });
    connect(&c, &TPop3Client::sessionFailed, &c, [&](const QString& message) {
        note(u"failed "_s + message + (c.Connected() ? u" open"_s : u" closed"_s) +
             (c.TimedOut() ? u" timed out"_s : QString()));
    });
    connect(&c, &TPop3Client::stateChanged, &c, [&](TPop3State state) {
        if (state == TPop3State::Closed)
            QTimer::singleShot(0, &loop, &QEventLoop::quit);
    });
    QTimer::singleShot(0, &c, [&] {
        c.StartSession();
        QCOMPARE(c.State(), TPop3State::Connecting);
        QVERIFY(c.Busy());
    });
    // Only a safety net: the test fails instead of hanging.
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    QCOMPARE(seen, events);
    QCOMPARE(c.State(), TPop3State::Closed);
    QVERIFY(!c.Connected());
    QVERIFY(!c.Busy());
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::listRefusedDoesNotWait()
{
    // With no time-out at all, waiting for list lines after a refusal would hang.
    FakePop3Server fake(loggedOn(2) + client("LIST") + server("-ERR not now") + quit());
    Probe p(fake, 0);
    p.client.Connect();
    QCOMPARE(p.failure([&] { p.client.ListMessages(); }), u"-ERR not now\r\n"_s);
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::overlongLineFailsWithoutHang_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("error");
    const QString tooLong = u"Antwortzeile länger als 65536 Bytes, Verbindung getrennt"_s;
    QTest::newRow("65536 bytes with CR LF fit") << QByteArray(65534, 'x') + "\r\n" << QString();
    QTest::newRow("65537 bytes with CR LF") << QByteArray(65535, 'x') + "\r\n" << tooLong;
    QTest::newRow("70000 bytes and no line end yet") << QByteArray(70000, 'x') << tooLong;
}

void TestPop3Client::overlongLineFailsWithoutHang()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, error);
    const bool fits = error.isEmpty();
    FakePop3Server fake(loggedOn(1) + client("TOP 1 0") + packet("+OK\r\n" + line) +
                        (fits ? server(".") + list(1, 9) + quit() : silence()));
    // No time-out: only the length check can end the read.
    Probe p(fake, 0);
    p.client.Connect();
    QCOMPARE(p.failure([&] { p.client.RetrieveSummary(1); }), error);
    if (fits) {
        QCOMPARE(p.client.Summary().Header.constFirst().size(), 65534);
        p.client.Disconnect();
    } else {
        QVERIFY(!p.client.Connected());
        QVERIFY(p.events.contains(u"disconnect"_s));
    }
    QVERIFY(!p.client.Busy());
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::silentServerTimesOutAndCloses()
{
    FakePop3Server fake(loggedOn(1) + client("TOP 1 0") + silence());
    Probe p(fake, 200);
    p.client.Connect();
    p.events.clear();
    QString error;
    try {
        p.client.RetrieveSummary(1);
    } catch (const EAbortError& e) {
        error = e.message();
    }
    QCOMPARE(error, u"Socket-readln abgebrochen"_s);
    QVERIFY(p.client.TimedOut());
    QVERIFY(!p.client.Connected());
    QVERIFY(!p.client.Busy());
    QCOMPARE(p.events, (QStringList{u"start"_s, u"disconnect"_s}));
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::timeOutZeroWaitsWithoutLimit()
{
    FakePop3Server fake(loggedOn(1) + client("TOP 1 0") + silence(400) + server("+OK") + server(".") + list(1, 5) +
                        quit());
    Probe p(fake, 0);
    p.client.Connect();
    bool timerRanDuringWait = true;
    QTimer::singleShot(200, &p.client, [&] { timerRanDuringWait = p.client.TimerActive(); });
    const std::clock_t cpuBefore = std::clock();
    p.client.RetrieveSummary(1);
    const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    QVERIFY(!timerRanDuringWait);
    // The wait sleeps in the event dispatcher: 400 ms of silence cost next to no CPU.
    QVERIFY2(cpuMs < 150, qPrintable(QString::number(cpuMs) + u" ms CPU"_s));
    QCOMPARE(p.client.Summary().Bytes, 5);
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::serverClosesMidAnswer_data()
{
    QTest::addColumn<FakeScript>("script");
    QTest::addColumn<bool>("list");
    QTest::newRow("TOP after whole lines") << client("TOP 1 0") + server("+OK") + server("From: a") + close() << false;
    QTest::newRow("TOP inside a line") << client("TOP 1 0") + server("+OK") + packet("Subj") + close() << false;
    QTest::newRow("LIST") << client("LIST") + server("+OK") + server("1 10") + close() << true;
}

void TestPop3Client::serverClosesMidAnswer()
{
    QFETCH(FakeScript, script);
    QFETCH(bool, list);
    FakePop3Server fake(loggedOn(1) + script);
    // No time-out: the read must notice the close by itself.
    Probe p(fake, 0);
    p.client.Connect();
    const QString error = p.failure([&] { list ? p.client.ListMessages() : p.client.RetrieveSummary(1); });
    QCOMPARE(error, u"Die Verbindung wurde während der Antwort geschlossen"_s);
    QVERIFY(!p.client.Connected());
    QVERIFY(!p.client.Busy());
    QVERIFY(!p.events.contains(u"end"_s));
    QCOMPARE(p.events.count(u"disconnect"_s), 1);
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::outOfStepDropsWithoutQuit_data()
{
    QTest::addColumn<FakeScript>("script");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QStringList>("listed"); // subjects delivered before the fault
    QTest::addColumn<QString>("error");
    const QList<QByteArray> spam = {"From: s@example.org", "Subject: Gewinn"};
    QTest::newRow("pipelined: TOP answered by a bare +OK")
        << pipelining(3) + client("LIST") + summaryCommands(1, 3) + server("+OK") + server("1 10") + server("2 20") +
               server("3 30") + server(".") + topReply(kHeaders[0]) + server("+OK") + server("+OK top 3 follows") +
               server(spam[0]) + server(spam[1]) + server(".")
        << u"summaries"_s << QStringList{u" eins"_s} << u"passt nicht zu TOP: \"+OK top 3 follows\""_s;
    QTest::newRow("LIST n answered for another message")
        << loggedOn(2) + top(1, kHeaders[0]) + client("LIST 1") + server("+OK 2 20") << u"summary"_s << QStringList()
        << u"passt nicht zu LIST 1"_s;
    QTest::newRow("no status line where one is due")
        << loggedOn(1) + listAll({10}) + client("TOP 1 0") + server("From: a@example.org") + server(".")
        << u"summaries"_s << QStringList() << u"passt nicht zu TOP 1 0"_s;
    QTest::newRow("LIST lines out of order")
        << loggedOn(2) + client("LIST") + server("+OK") + server("2 20") + server("1 10") + server(".") << u"list"_s
        << QStringList() << u"passt nicht zu LIST: \"1 10\""_s;
    QTest::newRow("LIST longer than the mailbox")
        << loggedOn(1) + client("LIST") + server("+OK") + server("1 10") + server("2 20") + server(".") << u"list"_s
        << QStringList() << u"passt nicht zu LIST"_s;
    QTest::newRow("UIDL line without an id") << loggedOn(1) + client("UIDL") + server("+OK") + server("1") + server(".")
                                             << u"uidl"_s << QStringList() << u"passt nicht zu UIDL"_s;
    QTest::newRow("DELE answered by no status") << loggedOn(2) + client("DELE 2") + server("* odd") << u"delete"_s
                                                << QStringList() << u"passt nicht zu DELE 2"_s;
}

void TestPop3Client::outOfStepDropsWithoutQuit()
{
    QFETCH(FakeScript, script);
    QFETCH(QString, call);
    QFETCH(QStringList, listed);
    QFETCH(QString, error);
    FakePop3Server fake(script);
    Probe p(fake);
    p.client.Connect();
    QStringList subjects;
    p.client.OnRetrieveEnd = [&](QObject*) { subjects << QString::fromLatin1(p.client.Summary().Subject); };
    // Every message that screening would condemn: a shifted summary would
    // send DELE for the wrong one.
    const auto condemned = [&](int) { return true; };
    const QString failure = p.failure([&] {
        if (call == u"summaries"_s)
            p.client.RetrieveSummaries(1, p.client.MessageCount(), condemned, {}, p.client.HasCapability("PIPELINING"));
        else if (call == u"summary"_s)
            p.client.RetrieveSummary(1);
        else if (call == u"list"_s)
            p.client.ListMessages();
        else if (call == u"uidl"_s)
            p.client.UniqueIds();
        else
            p.client.DeleteMessage(2);
    });
    QVERIFY2(failure.contains(error), qPrintable(failure));
    QVERIFY(failure.endsWith(u"Verbindung getrennt"_s));
    QCOMPARE(subjects, listed);
    QVERIFY(!p.client.Connected());
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
    for (const QByteArray& line : fake.received())
        QVERIFY2(!line.startsWith("QUIT") && !line.startsWith("DELE 3"), line.constData());
}

void TestPop3Client::headerEndsAtTheFirstEmptyLine()
{
    // A server that answers TOP n 0 with the whole message: the quoted
    // fields of the body are no fields of this message.
    FakePop3Server fake(loggedOn(1) + client("TOP 1 0") + server("+OK") + server("From: bob@example.org") +
                        server("Subject: Hallo") + server("") + server("Subject: Gewinnspiel") +
                        server("From: spam@example.org") + server(".") + list(1, 100) + quit());
    Probe p(fake);
    p.client.Connect();
    p.client.RetrieveSummary(1);
    QCOMPARE(p.client.Summary().Subject, QByteArray(" Hallo"));
    QCOMPARE(p.client.Summary().From, QByteArray(" bob@example.org"));
    QCOMPARE(p.client.Summary().Header, (TExStringList{"From: bob@example.org", "Subject: Hallo", ""}));
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::idleSessionClosedByTheServer()
{
    // The goodbye of a server that ends an idle session is read by nobody:
    // the close must still be noticed, so marked deletions are known lost.
    FakePop3Server fake(loggedOn(1) + silence(50) + server("-ERR Disconnected for inactivity") + close());
    Probe p(fake);
    p.client.Connect();
    QTRY_VERIFY(!p.client.Connected());
    QCOMPARE(p.events.count(u"disconnect"_s), 1);
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::deleteMessage_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("event");
    QTest::newRow("-ERR with text") << QByteArray("-ERR no such message") << u"-ERR no such message\r\n"_s
                                    << u"failure"_s;
    QTest::newRow("bare -ERR is a refusal too") << QByteArray("-ERR") << u"-ERR\r\n"_s << u"failure"_s;
    QTest::newRow("+OK") << QByteArray("+OK message 2 deleted") << QString() << u"success"_s;
}

void TestPop3Client::deleteMessage()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, error);
    QFETCH(QString, event);
    FakePop3Server fake(loggedOn(2) + dele(2, reply) + quit());
    Probe p(fake);
    p.client.ReportLevel = 0;
    p.client.Connect();
    p.events.clear();
    QCOMPARE(p.failure([&] { p.client.DeleteMessage(2); }), error);
    QCOMPARE(p.events, QStringList{event});
    QVERIFY(!p.client.Busy());
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::resetSendsRsetAndReports()
{
    FakePop3Server fake(loggedOn(2) + dele(1) + rset() + quit());
    Probe p(fake);
    p.client.ReportLevel = 0;
    p.client.Connect();
    p.client.DeleteMessage(1);
    p.client.Reset();
    p.client.Disconnect();
    QCOMPARE(p.events, (QStringList{u"connect"_s, u"success"_s, u"reset"_s, u"disconnect"_s}));
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::refusedResetIsNoReset()
{
    FakePop3Server fake(loggedOn(2) + client("RSET") + server("-ERR cannot reset") + quit());
    Probe p(fake);
    p.client.Connect();
    p.events.clear();
    QCOMPARE(p.failure([&] { p.client.Reset(); }), u"-ERR cannot reset\r\n"_s);
    QVERIFY(!p.events.contains(u"reset"_s));
    QVERIFY(!p.client.Busy());
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::nestedCallsDoNothingWhileBusy()
{
    // Anything the nested calls sent would break the script.
    FakePop3Server fake(loggedOn(2) + client("TOP 1 0") + silence(100) + server("+OK") + server("Subject: one") +
                        server(".") + list(1, 10) + quit());
    Probe p(fake);
    p.client.Connect();
    bool busyInside = false;
    p.client.OnRetrieveStart = [&](QObject*) {
        p.events << u"start"_s;
        // Runs inside the wait for the TOP answer, as a user's click would.
        QTimer::singleShot(0, &p.client, [&] {
            busyInside = p.client.Busy();
            p.client.RetrieveSummary(2);
            p.client.ListMessages();
            p.client.DeleteMessage(2);
            p.client.Reset();
        });
    };
    p.events.clear();
    p.client.RetrieveSummary(1);
    QVERIFY(busyInside);
    QCOMPARE(p.client.Summary().Subject, QByteArray(" one"));
    QCOMPARE(p.events.count(u"start"_s), 1);
    QCOMPARE(p.events.count(u"end"_s), 1);
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::nestedWaitKeepsTheOuterTimeOut()
{
    // The command run inside the wait for TOP has a wait of its own; when it
    // ends, the wait outside must still time out instead of waiting for ever.
    FakePop3Server fake(loggedOn(1) + client("TOP 1 0") + client("NOOP") + server("+OK") + silence());
    Probe p(fake, 300);
    p.client.Connect();
    QByteArray inner;
    p.client.OnRetrieveStart = [&](QObject*) {
        QTimer::singleShot(0, &p.client, [&] { inner = p.client.Transaction("NOOP"); });
    };
    // Only a safety net for the fault: the test fails instead of hanging.
    QTimer::singleShot(5000, &p.client, [&] { p.client.Cancel(); });
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(EAbortError, p.client.RetrieveSummary(1));
    QCOMPARE(inner, QByteArray("+OK\r\n"));
    QVERIFY(p.client.TimedOut());
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed()) + u" ms"_s));
    QVERIFY(!p.client.Connected());
    QVERIFY(!p.client.TimerActive());
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::disconnectDuringAWaitCancelsIt()
{
    // The answer still awaited would be read as QUIT's reply: the wait is
    // cancelled and the connection closed without QUIT.
    FakePop3Server fake(loggedOn(2) + client("TOP 1 0") + silence());
    Probe p(fake, 0);
    p.client.Connect();
    QList<bool> busy;
    p.client.OnBusyChanged = [&](QObject*) { busy << p.client.Busy(); };
    p.client.OnRetrieveStart = [&](QObject*) {
        QTimer::singleShot(0, &p.client, [&] {
            QVERIFY(p.client.Waiting());
            p.client.Disconnect();
        });
    };
    p.events.clear();
    QVERIFY_THROWS_EXCEPTION(EAbortError, p.client.RetrieveSummary(1));
    QVERIFY(!p.client.Connected());
    QVERIFY(!p.client.Busy());
    QVERIFY(!p.client.Waiting());
    QCOMPARE(busy, (QList<bool>{true, false}));
    QCOMPARE(p.events.count(u"disconnect"_s), 1);
    QVERIFY(!p.events.contains(u"end"_s));
    FAKE_POP3_VERIFY(fake);
    QVERIFY(!fake.received().contains("QUIT\r\n"));

    // The client is as good as new: the next connection logs on and quits.
    fake.setScript(loggedOn(0) + quit());
    p.client.OnRetrieveStart = {};
    p.client.Connect();
    QCOMPARE(p.client.MessageCount(), 0);
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::operationsNeedConnection()
{
    TPop3Client client;
    int asked = 0;
    for (const auto& call : std::initializer_list<std::function<void()>>{
             [&] { client.ListMessages(); }, [&] { client.RetrieveSummary(1); }, [&] { client.DeleteMessage(1); },
             [&] { client.Reset(); }}) {
        QString error;
        try {
            call();
        } catch (const Exception& e) {
            error = e.message();
        }
        QCOMPARE(error, u"Nicht verbunden"_s);
        QVERIFY(!client.Busy());
    }
    client.OnConnectionRequired = [&](bool& handled) {
        ++asked;
        handled = true;
    };
    QVERIFY_THROWS_EXCEPTION(Exception, client.VerifyConnected());
    QCOMPARE(asked, 1);
}

void TestPop3Client::unresolvedHost_data()
{
    QTest::addColumn<int>("handler"); // 0 none, 1 declines, 2 asks again, 3 asks again with a good host
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("handlerCalls");
    const QString noAddress = u"Null Externe Adresse"_s;
    QTest::newRow("no handler") << 0 << noAddress << 0;
    QTest::newRow("handler declines") << 1 << noAddress << 1;
    QTest::newRow("handler asks again: one more lookup only") << 2 << noAddress << 1;
    QTest::newRow("handler mends the host") << 3 << QString() << 1;
}

void TestPop3Client::unresolvedHost()
{
    QFETCH(int, handler);
    QFETCH(QString, error);
    QFETCH(int, handlerCalls);
    FakePop3Server fake(handler == 3 ? loggedOn(0) + quit() : FakeScript{});
    Probe p(fake);
    p.client.Host = u"no-such-host.invalid"_s;
    int calls = 0;
    if (handler > 0) {
        p.client.OnInvalidHost = [&](bool& handled) {
            ++calls;
            handled = handler >= 2;
            if (handler == 3)
                p.client.Host = u"127.0.0.1"_s;
        };
    }
    QCOMPARE(p.failure([&] { p.client.Connect(); }), error);
    QCOMPARE(calls, handlerCalls);
    if (error.isEmpty()) {
        p.client.Disconnect();
    } else {
        QCOMPARE(p.client.LastError(), 11001);
        QCOMPARE(ErrorText(p.client.LastError()), u"11001:Host not found"_s);
        QCOMPARE(fake.connectionCount(), 0);
    }
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::connectionRefused()
{
    quint16 port = 0;
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    TPop3Client client;
    client.Host = u"127.0.0.1"_s;
    client.Port = port;
    client.UserID = u"u"_s;
    client.Password = u"p"_s;
    client.TimeOut = 3000;
    int failed = 0;
    client.OnConnectionFailed = [&](QObject* sender) {
        QCOMPARE(sender, &client);
        ++failed;
    };
    QString error;
    try {
        client.Connect();
    } catch (const ESockError& e) {
        error = e.message();
    }
    QCOMPARE(error, u"Verbindung fehlgeschlagen"_s);
    QCOMPARE(failed, 1);
    QCOMPARE(client.LastError(), 10061);
    QCOMPARE(ErrorText(client.LastError()), u"10061:Connection refused"_s);
    QVERIFY(!client.Connected());
    QVERIFY(!client.Busy());
}

void TestPop3Client::transactionReplyNumber_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("fails");
    QTest::newRow("+OK has no number") << QByteArray("+OK fine") << 0 << false;
    QTest::newRow("200 and a blank") << QByteArray("200 fine") << 200 << false;
    QTest::newRow("empty line is CR LF") << QByteArray() << 0 << false;
    QTest::newRow("too large for 16 bits") << QByteArray("99999 big") << 0 << true;
}

void TestPop3Client::transactionReplyNumber()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, number);
    QFETCH(bool, fails);
    FakePop3Server fake(client("X") + server(reply));
    TSockClient sock;
    sock.Host = u"127.0.0.1"_s;
    sock.Port = fake.port();
    sock.TimeOut = 3000;
    sock.Connect();
    QVERIFY(sock.Connected());
    QByteArray answer;
    bool failed = false;
    try {
        answer = sock.Transaction("X");
    } catch (const ESockError&) {
        failed = true;
    }
    QCOMPARE(failed, fails);
    QCOMPARE(sock.LastReply(), reply + "\r\n");
    if (!fails) {
        QCOMPARE(answer, reply + "\r\n");
        QCOMPARE(int(sock.ReplyNumber()), number);
    }
    sock.Disconnect();
    QVERIFY(!sock.Connected());
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Client::instancesAreCounted()
{
    const int before = TSockClient::InstanceCount();
    {
        TSockClient a;
        TPop3Client b;
        QCOMPARE(TSockClient::InstanceCount(), before + 2);
        QCOMPARE(a.SocketInfo().size(), 6);
        QCOMPARE(b.Port, 110);
    }
    QCOMPARE(TSockClient::InstanceCount(), before);
}

void TestPop3Client::errorText_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("refused") << 10061 << u"10061:Connection refused"_s;
    QTest::newRow("first of the table") << 10004 << u"10004:Interrupted system call"_s;
    QTest::newRow("last of the table") << 11004 << u"11004:Valid name, no data record of requested type"_s;
    QTest::newRow("unknown") << 12345 << u"Unbekannte Fehlernummer 12345"_s;
}

void TestPop3Client::errorText()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    QCOMPARE(ErrorText(number), text);
}

void TestPop3Client::textFunctions_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("first field") << QByteArray("+OK 3 120\r\n") << 1 << QByteArray("+OK");
    QTest::newRow("last field keeps the line end") << QByteArray("+OK 3 120\r\n") << 3 << QByteArray("120\r\n");
    QTest::newRow("two blanks make an empty field") << QByteArray("a  b") << 2 << QByteArray();
    QTest::newRow("too few fields") << QByteArray("+OK") << 2 << QByteArray();
    QTest::newRow("empty text") << QByteArray() << 1 << QByteArray();
}

void TestPop3Client::textFunctions()
{
    QFETCH(QByteArray, text);
    QFETCH(int, n);
    QFETCH(QByteArray, field);
    QCOMPARE(NthField(text, ' ', n), field);
    QCOMPARE(LastPos("b", "abcab"), 5);
    QCOMPARE(LastPos("x", "abc"), 0);
}

void TestPop3Client::programEndingCancelsAWait()
{
    FakePop3Server fake(loggedOn(1) + client("TOP 1 0") + silence());
    Probe p(fake, 0);
    p.client.Connect();
    // The program is told to end while the client waits for an answer that
    // never comes and has no time-out: the wait ends instead of spinning.
    QTimer::singleShot(50, &p.client, [] { QCoreApplication::exit(0); });
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(EAbortError, p.client.RetrieveSummary(1));
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!p.client.Busy());
}

QTEST_GUILESS_MAIN(TestPop3Client)
#include "tst_pop3client.moc"
