// The check engine against a scripted server: what goes on the wire, what the
// message list shows and what the outcome claims, for the window's check and
// the schedule's, without any window.
#include "CheckEngine.h"
#include "FakePop3Server.h"
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
    void checkListsScreensAndDeletesInOneStream_data();
    void checkListsScreensAndDeletesInOneStream();
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
    Account account;
    account.host = QString::fromLatin1(fake.host());
    account.port = fake.port();
    account.userId = u"u"_s;
    account.password = u"p"_s;

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

QTEST_GUILESS_MAIN(TestCheckEngine)
#include "tst_checkengine.moc"
