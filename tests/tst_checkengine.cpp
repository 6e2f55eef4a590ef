// The check engine against a scripted server: what goes on the wire, what the
// message list shows and what the outcome claims, for the window's check and
// the schedule's, without any window.
#include "CheckEngine.h"
#include "FakePop3Server.h"
#include "ListingCache.h"
#include "MessageList.h"
#include "Pop3Client.h"

#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;
using namespace Pop3Script;
using Asker = CheckEngine::Asker;
using Deletion = MessageList::Deletion;

Q_DECLARE_METATYPE(FakeScript)

namespace {

// Three messages, the second condemned by the subject list; one command at a
// time, so the DELE goes before the next TOP.
FakeScript listingWithCondemned(const QByteArray& deleReply)
{
    return greeting("+OK ready", {"UIDL"}) + login("u", "p") + stat(3) + client("LIST") + server("+OK") +
           server("1 100") + server("2 200") + server("3 300") + server(".") + client("UIDL") + server("+OK") +
           server("1 a") + server("2 b") + server("3 c") + server(".") + top(1, {"From: a@x", "Subject: Hallo"}) +
           top(2, {"From: b@x", "Subject: Sofortkredit"}) + dele(2, deleReply) +
           top(3, {"From: c@x", "Subject: Rechnung"});
}

// A pipelining server: STAT, LIST and UIDL follow PASS's reply in one piece.
FakeScript pipelinedListing(int count, const QList<QByteArray>& uids, const QByteArray& uidlReply = "+OK")
{
    FakeScript script = greeting("+OK ready", {"UIDL", "PIPELINING"}) + login("u", "p") + client("STAT") +
                        client("LIST") + client("UIDL") + server("+OK " + QByteArray::number(count) + " 0") +
                        server("+OK");
    for (int n = 1; n <= count; ++n)
        script += server(QByteArray::number(n) + " " + QByteArray::number(n * 100));
    script += server(".") + server(uidlReply);
    if (uidlReply.startsWith("+OK")) {
        for (int n = 1; n <= count; ++n)
            script += server(QByteArray::number(n) + " " + uids.at(n - 1));
        script += server(".");
    }
    return script;
}

FakeScript topReplyOf(const QByteArray& uid)
{
    return topReply({"From: " + uid + "@x", "Subject: Betreff " + uid});
}

Account accountOf(const FakePop3Server& fake)
{
    Account account;
    account.host = QString::fromLatin1(fake.host());
    account.port = fake.port();
    account.userId = u"u"_s;
    account.password = u"p"_s;
    return account;
}

QString writeList(const QTemporaryDir& dir, const QString& name, const QByteArray& lines)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(lines) != lines.size())
        return {};
    return file.fileName();
}

} // namespace

class TestCheckEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("XDG_CACHE_HOME", m_cacheHome.path().toLocal8Bit()); }
    void checkListsScreensAndDeletesInOneStream_data();
    void checkListsScreensAndDeletesInOneStream();
    void secondCheckReadsOnlyNewHeaders_data();
    void secondCheckReadsOnlyNewHeaders();

private:
    QTemporaryDir m_cacheHome;
};

void TestCheckEngine::checkListsScreensAndDeletesInOneStream_data()
{
    QTest::addColumn<int>("asker");
    QTest::addColumn<FakeScript>("script");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("deleted");
    QTest::addColumn<int>("secondState");
    QTest::addColumn<QString>("secondMark");
    QTest::addColumn<bool>("connected");

    const FakeScript taken = listingWithCondemned("+OK deleted");
    // The window keeps the connection for the user's work; the deletion is
    // final only at the QUIT that ends it.
    QTest::newRow("window") << int(Asker::User) << taken << true << 1 << int(Deletion::Marked) << u"S#"_s << true;
    QTest::newRow("schedule") << int(Asker::Nobody) << taken + quit() << true << 1 << int(Deletion::Final) << u"S#"_s
                              << false;
    // A refused DELE leaves the message, and its mark says no more that it goes.
    QTest::newRow("window, DELE refused") << int(Asker::User) << listingWithCondemned("-ERR locked") << false << 0
                                          << int(Deletion::Refused) << u"S"_s << true;
    // Without an accepted QUIT the server keeps every message.
    QTest::newRow("schedule, QUIT refused")
        << int(Asker::Nobody) << taken + client("QUIT") + server("-ERR cannot commit") << false << 0
        << int(Deletion::Undone) << u"S"_s << false;
}

void TestCheckEngine::checkListsScreensAndDeletesInOneStream()
{
    QFETCH(int, asker);
    QFETCH(FakeScript, script);
    QFETCH(bool, ok);
    QFETCH(int, deleted);
    QFETCH(int, secondState);
    QFETCH(QString, secondMark);
    QFETCH(bool, connected);

    QTemporaryDir dir;
    const CheckEngine::ListFiles files{writeList(dir, u"Absender_User.ini"_s, ""),
                                       writeList(dir, u"Betreff.ini"_s, "Sofortkredit\r\n"),
                                       writeList(dir, u"Betreff_User.ini"_s, "")};
    FakePop3Server fake(script);
    fake.setOneAtATime(true);
    TPop3Client client;
    client.TimeOut = 5000;
    MessageList messages;
    CheckEngine engine(client, messages);
    const Account account = accountOf(fake);

    // Every step runs in the loop that waits for the end: none in a loop of its own.
    QList<int> levels;
    connect(&engine, &CheckEngine::rowScreened, this, [&] { levels << QThread::currentThread()->loopLevel(); });
    CheckEngine::Outcome outcome;
    QEventLoop loop;
    connect(&engine, &CheckEngine::finished, this, [&](const CheckEngine::Outcome& o) {
        outcome = o;
        loop.quit();
    });
    engine.start(account, files, {false, true, false}, Asker(asker));
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();

    FAKE_POP3_VERIFY(fake);
    QVERIFY(!engine.running());
    QCOMPARE(outcome.ok, ok);
    QCOMPARE(outcome.messages, 3);
    QCOMPARE(outcome.listed, 3);
    QCOMPARE(outcome.deleted, deleted);
    QCOMPARE(levels, QList<int>(3, 1));
    QCOMPARE(messages.size(), 3);
    const MessageList::Message& second = messages.at(1);
    QCOMPARE(second.uid, QByteArray("b"));
    QCOMPARE(second.bytes, 200);
    QCOMPARE(second.subject, u"Sofortkredit"_s);
    QCOMPARE(int(second.deletion), secondState);
    QCOMPARE(MessageList::shownMark(second), secondMark);
    QCOMPARE(messages.at(0).deletion, Deletion::None);
    QCOMPARE(client.Connected(), connected);
}

void TestCheckEngine::secondCheckReadsOnlyNewHeaders_data()
{
    QTest::addColumn<FakeScript>("second");
    QTest::addColumn<QString>("fresh");
    QTest::addColumn<int>("fromCache");
    QTest::addColumn<int>("deleted");

    // a left the mailbox, d and e arrived; c was listed before and is
    // condemned now by a list changed since, so its DELE goes without its TOP.
    QTest::newRow("cache") << pipelinedListing(4, {"b", "c", "d", "e"}) + client("DELE 2") + client("TOP 3 0") +
                                  client("TOP 4 0") + server("+OK deleted") + topReplyOf("d") + topReplyOf("e")
                           << u"--++"_s << 2 << 1;
    // A server that will not tell lasting ids is checked in full.
    QTest::newRow("UIDL refused") << pipelinedListing(4, {}, "-ERR no ids") + summaryCommands(1, 4) + topReplyOf("b") +
                                         topReplyOf("c") + client("DELE 2") + topReplyOf("d") + topReplyOf("e") +
                                         server("+OK deleted")
                                  << u"----"_s << 0 << 1;
}

void TestCheckEngine::secondCheckReadsOnlyNewHeaders()
{
    QFETCH(FakeScript, second);
    QFETCH(QString, fresh);
    QFETCH(int, fromCache);
    QFETCH(int, deleted);

    QTemporaryDir dir;
    const QString subjects = writeList(dir, u"Betreff.ini"_s, "");
    const CheckEngine::ListFiles files{writeList(dir, u"Absender_User.ini"_s, ""), subjects,
                                       writeList(dir, u"Betreff_User.ini"_s, "")};
    // The first check reads every header; its TOPs follow STAT's reply without a wait.
    FakePop3Server fake(pipelinedListing(3, {"a", "b", "c"}) + summaryCommands(1, 3) + topReplyOf("a") +
                        topReplyOf("b") + topReplyOf("c"));
    TPop3Client client;
    client.TimeOut = 5000;
    MessageList messages;
    CheckEngine engine(client, messages);
    const Account account = accountOf(fake);
    CheckEngine::Outcome outcome;
    const auto check = [&] {
        QEventLoop loop;
        const auto link = connect(&engine, &CheckEngine::finished, this, [&](const CheckEngine::Outcome& o) {
            outcome = o;
            loop.quit();
        });
        engine.start(account, files, {false, true, false}, Asker::User);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        disconnect(link);
    };
    check();
    FAKE_POP3_VERIFY(fake);
    QVERIFY(outcome.ok);
    QCOMPARE(ListingCache::load(account).size(), 3);
    client.Abort();

    writeList(dir, u"Betreff.ini"_s, "Betreff c\r\n");
    engine.listsSaved();
    fake.setScript(second);
    check();
    FAKE_POP3_VERIFY(fake);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QCOMPARE(outcome.fromCache, fromCache);
    QCOMPARE(outcome.deleted, deleted);
    // Every message in server order, those arrived since set off.
    QCOMPARE(messages.size(), 4);
    QString shownFresh;
    for (int row = 0; row < messages.size(); ++row) {
        QCOMPARE(messages.at(row).number, row + 1);
        QCOMPARE(messages.at(row).subject, u"Betreff "_s + QChar(u'b' + row));
        QCOMPARE(messages.at(row).bytes, (row + 1) * 100);
        shownFresh += messages.at(row).fresh ? u'+' : u'-';
    }
    QCOMPARE(shownFresh, fresh);
    QCOMPARE(messages.at(1).deletion, Deletion::Marked);
}

QTEST_GUILESS_MAIN(TestCheckEngine)
#include "tst_checkengine.moc"
