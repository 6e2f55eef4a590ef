#include "DovecotServer.h"
#include "Pop3Client.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray message(const QByteArray& from, const QByteArray& subject, const QByteArray& body)
{
    return "From: " + from + "\r\nTo: test@example.org\r\nSubject: " + subject + "\r\nMessage-ID: <" +
           subject.toLower() + "@example.org>\r\n\r\n" + body;
}

const QList<QByteArray> kFrom = {"Ann <ann@example.org>", "bob@example.net", "\"Carl C.\" <carl@example.com>"};
const QList<QByteArray> kSubject = {"First", "Second", "Third"};
const QList<QByteArray> kBody = {"Hello\r\n", "Two\r\nlines\r\n", QByteArray(3000, 'z') + "\r\n..dot\r\n"};

} // namespace

// The client against a real Dovecot: what a real server does with list, top,
// delete, reset and quit.
class TestPop3Dovecot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void summariesAsTheServerReports();
    void deletionsAreFinalOnlyAtQuit_data();
    void deletionsAreFinalOnlyAtQuit();
    void wrongPasswordIsRefused();

private:
    void configure(TPop3Client& client) const;
    std::unique_ptr<DovecotServer> m_server;
};

void TestPop3Dovecot::initTestCase()
{
    if (!DovecotServer::isAvailable())
        QSKIP("dovecot is not installed (package dovecot-pop3d); scripts/install-deps.sh installs it");
}

void TestPop3Dovecot::init()
{
    m_server = std::make_unique<DovecotServer>();
    for (qsizetype i = 0; i < kFrom.size(); ++i)
        m_server->addMessage(message(kFrom[i], kSubject[i], kBody[i]));
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
}

void TestPop3Dovecot::cleanup()
{
    if (m_server && QTest::currentTestFailed())
        qWarning().noquote() << "dovecot log:" << m_server->log();
    m_server.reset();
}

void TestPop3Dovecot::configure(TPop3Client& client) const
{
    client.Host = QString::fromLatin1(m_server->host());
    client.Port = m_server->port();
    client.UserID = QString::fromLatin1(m_server->user());
    client.Password = QString::fromLatin1(m_server->password());
    client.TimeOut = 20000;
}

void TestPop3Dovecot::summariesAsTheServerReports()
{
    TPop3Client client;
    configure(client);
    QList<int> listed;
    client.OnList = [&](int msg, int size) {
        QCOMPARE(msg, listed.size() + 1);
        listed.append(size);
    };
    client.Connect();
    QCOMPARE(client.MessageCount(), 3);
    // Dovecot offers what the fast listing relies on.
    QVERIFY(client.HasCapability("PIPELINING"));
    QVERIFY(client.HasCapability("uidl"));
    client.ListMessages();
    QCOMPARE(listed.size(), 3);
    for (int n = 1; n <= 3; ++n) {
        client.RetrieveSummary(n);
        const TSummary& s = client.Summary();
        QCOMPARE(s.From, " " + kFrom[n - 1]);
        QCOMPARE(s.Subject, " " + kSubject[n - 1]);
        QCOMPARE(s.MessageId, "<" + kSubject[n - 1].toLower() + "@example.org>");
        // Sizes count CR LF line ends, as the server sends the message.
        QCOMPARE(s.Bytes, int(message(kFrom[n - 1], kSubject[n - 1], kBody[n - 1]).size()));
        QCOMPARE(s.Bytes, listed[n - 1]);
        QCOMPARE(s.Header.size(), 5); // four fields and the empty line
    }
    client.Disconnect();
    QVERIFY(!client.Connected());
    QCOMPARE(m_server->storedMessageCount(), 3);
}

void TestPop3Dovecot::deletionsAreFinalOnlyAtQuit_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QList<QByteArray>>("remaining");
    QTest::newRow("QUIT carries the deletions out") << u"quit"_s << QList<QByteArray>{" Second"};
    QTest::newRow("RSET takes them back") << u"reset"_s << QList<QByteArray>{" First", " Second", " Third"};
    QTest::newRow("Abort without QUIT deletes nothing")
        << u"abort"_s << QList<QByteArray>{" First", " Second", " Third"};
}

void TestPop3Dovecot::deletionsAreFinalOnlyAtQuit()
{
    QFETCH(QString, ending);
    QFETCH(QList<QByteArray>, remaining);
    {
        TPop3Client client;
        configure(client);
        int deleted = 0;
        client.OnSuccess = [&](QObject*) { ++deleted; };
        client.Connect();
        client.DeleteMessage(1);
        client.DeleteMessage(3);
        QCOMPARE(deleted, 2);
        if (ending == u"reset"_s)
            client.Reset();
        if (ending == u"abort"_s)
            client.Abort();
        else
            client.Disconnect();
        QVERIFY(!client.Connected());
    }
    QTRY_COMPARE(m_server->storedMessageCount(), int(remaining.size()));

    TPop3Client again;
    configure(again);
    again.Connect();
    QCOMPARE(again.MessageCount(), int(remaining.size()));
    for (int n = 1; n <= again.MessageCount(); ++n) {
        again.RetrieveSummary(n);
        QCOMPARE(again.Summary().Subject, remaining[n - 1]);
    }
    again.Disconnect();
}

void TestPop3Dovecot::wrongPasswordIsRefused()
{
    TPop3Client client;
    configure(client);
    client.Password = u"wrong"_s;
    int asked = 0;
    client.OnAuthenticationFailed = [&](bool& handled) {
        ++asked;
        client.Password = QString::fromLatin1(m_server->password());
        handled = true;
    };
    int connected = 0;
    client.OnConnect = [&](QObject*) { ++connected; };
    client.Connect();
    QCOMPARE(asked, 1);
    QCOMPARE(connected, 1);
    client.Disconnect();

    client.Password = u"wrong"_s;
    client.OnAuthenticationFailed = nullptr;
    QVERIFY_THROWS_EXCEPTION(Exception, client.Connect());
    QVERIFY(!client.Connected());
}

QTEST_GUILESS_MAIN(TestPop3Dovecot)
#include "tst_pop3dovecot.moc"
