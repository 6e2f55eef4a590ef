// The listing of a mailbox: LIST, the summaries one at a time and pipelined,
// deletions in the stream and answers that are out of step with the commands.
#include "Pop3Probe.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace Pop3Script;
using namespace Pop3Probe;

class TestPop3Listing : public QObject
{
    Q_OBJECT

private slots:
    void listMessages();
    void summariesOfAListing_data();
    void summariesOfAListing();
    void failureInAPipelinedListing_data();
    void failureInAPipelinedListing();
    void disconnectEndsAListing_data();
    void disconnectEndsAListing();
    void listRefusedDoesNotWait();
    void outOfStepDropsWithoutQuit_data();
    void outOfStepDropsWithoutQuit();
};

void TestPop3Listing::listMessages()
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

void TestPop3Listing::summariesOfAListing_data()
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

void TestPop3Listing::summariesOfAListing()
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

void TestPop3Listing::failureInAPipelinedListing_data()
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

void TestPop3Listing::failureInAPipelinedListing()
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

void TestPop3Listing::disconnectEndsAListing_data()
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

void TestPop3Listing::disconnectEndsAListing()
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

void TestPop3Listing::listRefusedDoesNotWait()
{
    // With no time-out at all, waiting for list lines after a refusal would hang.
    FakePop3Server fake(loggedOn(2) + client("LIST") + server("-ERR not now") + quit());
    Probe p(fake, 0);
    p.client.Connect();
    QCOMPARE(p.failure([&] { p.client.ListMessages(); }), u"-ERR not now\r\n"_s);
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Listing::outOfStepDropsWithoutQuit_data()
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

void TestPop3Listing::outOfStepDropsWithoutQuit()
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

QTEST_GUILESS_MAIN(TestPop3Listing)
#include "tst_pop3listing.moc"
