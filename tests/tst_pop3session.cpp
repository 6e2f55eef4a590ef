// The session driven from handlers without a wait, and the waits of the
// blocking calls: time-outs, a server gone quiet or away, nested calls.
#include "Pop3Probe.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <ctime>

using namespace Qt::StringLiterals;
using namespace Pop3Script;
using namespace Pop3Probe;

class TestPop3Session : public QObject
{
    Q_OBJECT

private slots:
    void sessionWithoutAWait_data();
    void sessionWithoutAWait();
    void silentServerTimesOutAndCloses();
    void timeOutZeroWaitsWithoutLimit();
    void idleSessionClosedByTheServer();
    void nestedCallsDoNothingWhileBusy();
    void nestedWaitKeepsTheOuterTimeOut();
    void disconnectDuringAWaitCancelsIt();
    // Runs last: it ends the application's event processing for good.
    void programEndingCancelsAWait();
};

void TestPop3Session::sessionWithoutAWait_data()
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

void TestPop3Session::sessionWithoutAWait()
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

void TestPop3Session::silentServerTimesOutAndCloses()
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

void TestPop3Session::timeOutZeroWaitsWithoutLimit()
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

void TestPop3Session::idleSessionClosedByTheServer()
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

void TestPop3Session::nestedCallsDoNothingWhileBusy()
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

void TestPop3Session::nestedWaitKeepsTheOuterTimeOut()
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

void TestPop3Session::disconnectDuringAWaitCancelsIt()
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

void TestPop3Session::programEndingCancelsAWait()
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

QTEST_GUILESS_MAIN(TestPop3Session)
#include "tst_pop3session.moc"
