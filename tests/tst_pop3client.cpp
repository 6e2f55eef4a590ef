// The POP3 client on its own commands against the scripted server: log-on,
// capabilities, a single summary, deletion and reset, the connection itself
// and the socket and text helpers beneath it.
#include "Pop3Probe.h"
#include "Pop3Text.h"

#include <QTcpServer>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Pop3Script;
using namespace Pop3Probe;

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
    void refusedPasswordWithStatAlongside();
    void overlongLineFailsWithoutHang_data();
    void overlongLineFailsWithoutHang();
    void serverClosesMidAnswer_data();
    void serverClosesMidAnswer();
    void headerEndsAtTheFirstEmptyLine();
    void deleteMessage_data();
    void deleteMessage();
    void resetSendsRsetAndReports();
    void refusedResetIsNoReset();
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

void TestPop3Client::deleteMessage_data()
{
    QTest::addColumn<QByteArray>("uid");
    QTest::addColumn<FakeScript>("exchange");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("events");
    const QStringList failure{u"failure"_s};
    const QStringList success{u"success"_s};
    QTest::newRow("-ERR with text") << QByteArray() << dele(2, "-ERR no such message") << u"-ERR no such message\r\n"_s
                                    << failure;
    QTest::newRow("bare -ERR is a refusal too") << QByteArray() << dele(2, "-ERR") << u"-ERR\r\n"_s << failure;
    QTest::newRow("+OK") << QByteArray() << dele(2, "+OK message 2 deleted") << QString() << success;
    // The number must still carry the message the user saw.
    QTest::newRow("UIDL confirms") << QByteArray("b") << client("UIDL 2") + server("+OK 2 b") + dele(2) << QString()
                                   << success;
    QTest::newRow("UIDL shifted: no DELE")
        << QByteArray("b") << client("UIDL 2") + server("+OK 2 c")
        << u"Die Nachricht 2 ist auf dem Server nicht mehr die angezeigte; sie wurde nicht gelöscht"_s << QStringList();
}

void TestPop3Client::deleteMessage()
{
    QFETCH(QByteArray, uid);
    QFETCH(FakeScript, exchange);
    QFETCH(QString, error);
    QFETCH(QStringList, events);
    FakePop3Server fake(loggedOn(2) + exchange + quit());
    Probe p(fake);
    p.client.ReportLevel = 0;
    p.client.Connect();
    p.events.clear();
    QCOMPARE(p.failure([&] { p.client.DeleteMessage(2, uid); }), error);
    QCOMPARE(p.events, events);
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

QTEST_GUILESS_MAIN(TestPop3Client)
#include "tst_pop3client.moc"
