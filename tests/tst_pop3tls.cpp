#include "DovecotServer.h"
#include "FakePop3Server.h"
#include "Pop3Client.h"
#include "TestCertificates.h"

#include <QTest>
#include <ctime>

using namespace Qt::StringLiterals;
using namespace Pop3Script;

namespace {

const TestCertificates& certificates()
{
    return TestCertificates::instance();
}

// A client for the fake server that records every certificate it was asked about.
struct TlsProbe
{
    explicit TlsProbe(FakePop3Server& fake, TSecurity security, int timeOut = 3000)
    {
        client.Host = u"127.0.0.1"_s;
        client.Port = fake.port();
        client.UserID = u"u"_s;
        client.Password = u"p"_s;
        client.TimeOut = timeOut;
        client.Security = security;
        client.OnCertificateUntrusted = [this](const TCertificateInfo& info, bool& accept) {
            asked.append(info);
            accept = trust;
        };
    }

    QString failure()
    {
        try {
            client.Connect();
        } catch (const Exception& e) {
            return e.message();
        }
        return {};
    }

    TPop3Client client;
    QList<TCertificateInfo> asked;
    bool trust = false;
};

bool credentialSent(const FakePop3Server& fake)
{
    for (const QByteArray& line : fake.received()) {
        if (line.startsWith("USER") || line.startsWith("PASS"))
            return true;
    }
    return false;
}

void useIdentity(FakePop3Server& fake, const TestCertificates::Identity& identity)
{
    fake.setTlsIdentity(identity.certificate, identity.key);
}

} // namespace

// TLS on the connection: STLS after the greeting or TLS from the first byte,
// the certificate checked, and never a credential before the handshake.
class TestPop3Tls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusalsSendNoCredential_data();
    void refusalsSendNoCredential();
    void untrustedCertificateIsAskedAndRemembered();
    void trustAnsweredLaterFromTheEventLoop_data();
    void trustAnsweredLaterFromTheEventLoop();
    void storedTrustAsksAgain_data();
    void storedTrustAsksAgain();
    void weakRsaKeyIsRefused();
    void wrongHostNameIsAsked();
    void handshakeWaitSleeps();
    void dovecotLogsOnEncrypted_data();
    void dovecotLogsOnEncrypted();
};

void TestPop3Tls::initTestCase()
{
    QVERIFY2(certificates().isValid(), qPrintable(certificates().errorString()));
}

void TestPop3Tls::refusalsSendNoCredential_data()
{
    QTest::addColumn<int>("security");
    QTest::addColumn<FakeScript>("script");
    QTest::addColumn<QString>("error");
    // The client's hello meets a silent server, which takes it for lines.
    QTest::addColumn<bool>("helloUnanswered");

    const int stls = int(TSecurity::StartTls);
    const int tls = int(TSecurity::Tls);
    const QString noTls = u"Der Server bietet keine verschlüsselte Verbindung an."_s;
    QTest::newRow("CAPA without STLS") << stls << greeting("+OK ready", {"USER", "UIDL"}) + quit()
                                       << u"STLS fehlt in der Antwort auf CAPA. "_s + noTls << false;
    QTest::newRow("CAPA refused") << stls << greeting() + quit() << u"STLS fehlt in der Antwort auf CAPA. "_s + noTls
                                  << false;
    QTest::newRow("STLS refused") << stls
                                  << greeting("+OK ready", {"STLS"}) + client("STLS") + server("-ERR not now") + quit()
                                  << u"STLS abgelehnt (-ERR not now). "_s + noTls << false;
    QTest::newRow("closes after STLS") << stls << greeting("+OK ready", {"STLS"}) + client("STLS") + close()
                                       << u"STLS abgelehnt (keine Antwort). "_s + noTls << false;
    QTest::newRow("handshake never answered")
        << stls << greeting("+OK ready", {"STLS"}) + client("STLS") + server("+OK begin") + silence()
        << u"Zeitüberschreitung beim TLS-Handshake"_s << true;
    QTest::newRow("closes during handshake")
        << stls << greeting("+OK ready", {"STLS"}) + client("STLS") + server("+OK begin") + close()
        << u"Die Verbindung wurde während des TLS-Handshakes geschlossen"_s << false;
    // Lines slipped in before the handshake must not pass for encrypted ones.
    QTest::newRow("clear text after STLS")
        << stls << greeting("+OK ready", {"STLS"}) + client("STLS") + packet("+OK begin\r\n+OK forged\r\n") + silence()
        << u"Unverschlüsselte Daten vor dem TLS-Handshake, Verbindung getrennt"_s << false;
    QTest::newRow("server speaks no TLS") << tls << server("+OK POP3 ready") + silence() << u"TLS-Handshake"_s << false;
    QTest::newRow("implicit TLS, server silent")
        << tls << silence() << u"Zeitüberschreitung beim TLS-Handshake"_s << true;
    QTest::newRow("implicit TLS, server closes")
        << tls << close() << u"Die Verbindung wurde während des TLS-Handshakes geschlossen"_s << false;
}

void TestPop3Tls::refusalsSendNoCredential()
{
    QFETCH(int, security);
    QFETCH(FakeScript, script);
    QFETCH(QString, error);
    QFETCH(bool, helloUnanswered);

    FakePop3Server fake(script);
    TlsProbe p(fake, TSecurity(security), 500);
    const QString failure = p.failure();
    QVERIFY2(failure.startsWith(error), qPrintable(failure));
    QVERIFY(!p.client.Connected());
    QVERIFY(!credentialSent(fake));
    if (helloUnanswered)
        QVERIFY(fake.finished());
    else
        FAKE_POP3_VERIFY(fake);
}

void TestPop3Tls::trustAnsweredLaterFromTheEventLoop_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("error");
    QTest::newRow("trusted: the log-on goes on") << true << QString();
    QTest::newRow("declined: closed before the log-on")
        << false << u"Dem Zertifikat des Servers wird nicht vertraut, Verbindung abgebrochen"_s;
}

void TestPop3Tls::trustAnsweredLaterFromTheEventLoop()
{
    QFETCH(bool, accept);
    QFETCH(QString, error);
    FakePop3Server fake(startTls() + (accept ? greeting() + login("u", "p") + stat(0) : FakeScript{}));
    useIdentity(fake, certificates().selfSigned());
    TlsProbe p(fake, TSecurity::Tls);
    TPop3Client& c = p.client;
    QString failure;
    bool ready = false;
    connect(&c, &TPop3Client::trustAsked, &c, [&](const TCertificateInfo& info) {
        QCOMPARE(c.State(), TPop3State::AwaitingTrust);
        QVERIFY(!c.TimerActive());
        QVERIFY(!info.Fingerprint.isEmpty());
        QTimer::singleShot(0, &c, [&] { c.AnswerTrust(accept); });
    });
    connect(&c, &TPop3Client::sessionReady, &c, [&] { ready = true; });
    connect(&c, &TPop3Client::sessionFailed, &c, [&](const QString& message) { failure = message; });
    c.StartSession();
    QTRY_VERIFY_WITH_TIMEOUT(ready || !failure.isEmpty(), 5000);
    QCOMPARE(failure, error);
    QCOMPARE(c.State(), accept ? TPop3State::Ready : TPop3State::Closed);
    QCOMPARE(c.Encrypted(), accept);
    QVERIFY(p.asked.isEmpty()); // the blocking call's handler is not asked
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Tls::untrustedCertificateIsAskedAndRemembered()
{
    const auto& self = certificates().selfSigned();
    const QString fingerprint = TSockClient::Fingerprint(self.certificate);
    QCOMPARE(fingerprint.size(), 64);

    // Declined: the attempt ends before the log-on.
    FakePop3Server fake(startTls());
    useIdentity(fake, self);
    TlsProbe p(fake, TSecurity::Tls);
    QCOMPARE(p.failure(), u"Dem Zertifikat des Servers wird nicht vertraut, Verbindung abgebrochen"_s);
    QCOMPARE(p.asked.size(), 1);
    const TCertificateInfo info = p.asked.constFirst();
    QVERIFY2(info.Reasons.contains(u"Das Zertifikat ist selbst signiert."_s), qPrintable(info.Reasons.join(u'|')));
    QCOMPARE(info.Fingerprint, fingerprint);
    QVERIFY(info.Subject.contains(u"127.0.0.1"_s));
    QVERIFY(info.ValidFrom < info.ValidUntil);
    QVERIFY(!info.Changed);
    QVERIFY(!credentialSent(fake));

    // Trusted: the log-on goes on over the encrypted connection.
    fake.setScript(startTls() + greeting() + login("u", "p") + stat(0) + quit());
    p.trust = true;
    QCOMPARE(p.failure(), QString());
    QCOMPARE(p.asked.size(), 2);
    QVERIFY2(p.client.EncryptionText().startsWith(u"TLSv1."_s), qPrintable(p.client.EncryptionText()));
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);

    // Remembered: the same certificate is accepted without asking.
    const TCertificateInfo given = p.asked.constLast();
    p.client.Trusted = {given.Fingerprint, given.Server, given.Errors};
    fake.setScript(startTls() + greeting() + login("u", "p") + stat(0) + quit());
    QCOMPARE(p.failure(), QString());
    QCOMPARE(p.asked.size(), 2);
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);

    // Swapped: another certificate is asked about again, as a change.
    const qsizetype sentBefore = fake.received().size();
    useIdentity(fake, certificates().otherSelfSigned());
    fake.setScript(startTls());
    p.trust = false;
    QCOMPARE(p.failure(), u"Dem Zertifikat des Servers wird nicht vertraut, Verbindung abgebrochen"_s);
    QCOMPARE(p.asked.size(), 3);
    QVERIFY(p.asked.constLast().Changed);
    QVERIFY(p.asked.constLast().Fingerprint != fingerprint);
    QCOMPARE(fake.received().size(), sentBefore);
    FAKE_POP3_VERIFY(fake);
}

void TestPop3Tls::storedTrustAsksAgain_data()
{
    // The trust stored for the account: its server (%1 is the fake's port) and its errors.
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("newError");
    QTest::newRow("stored before trusts named their server") << QString() << false;
    QTest::newRow("trusted for another host") << u"pop.example.org:%1"_s << false;
    QTest::newRow("trusted for another port") << u"127.0.0.1:1"_s << false;
    QTest::newRow("an error it did not show when trusted") << u"127.0.0.1:%1"_s << true;
}

void TestPop3Tls::storedTrustAsksAgain()
{
    QFETCH(QString, server);
    QFETCH(bool, newError);
    FakePop3Server fake(startTls() + startTls());
    useIdentity(fake, certificates().selfSigned());
    TlsProbe p(fake, TSecurity::Tls);
    QVERIFY(!p.failure().isEmpty());
    const TCertificateInfo first = p.asked.constFirst();
    p.client.Trusted = {first.Fingerprint, server.replace(u"%1"_s, QString::number(fake.port())),
                        newError ? QString() : first.Errors};
    QCOMPARE(p.failure(), u"Dem Zertifikat des Servers wird nicht vertraut, Verbindung abgebrochen"_s);
    QCOMPARE(p.asked.size(), 2);
    QVERIFY(!p.asked.constLast().Changed);
    QCOMPARE(p.asked.constLast().NewReasons.contains(u"Das Zertifikat ist selbst signiert."_s), newError);
    QVERIFY(!credentialSent(fake));
}

void TestPop3Tls::weakRsaKeyIsRefused()
{
    // This TLS library will not even serve such a key: the check is shown on the certificate.
    QVERIFY(CertificateTrust::weakKeyReason(certificates().weakRsa().certificate).contains(u"RSA mit 1024 Bit"_s));
    QCOMPARE(CertificateTrust::weakKeyReason(certificates().selfSigned().certificate), QString());
}

void TestPop3Tls::wrongHostNameIsAsked()
{
    FakePop3Server fake(startTls());
    useIdentity(fake, certificates().signedByAuthority());
    TlsProbe p(fake, TSecurity::Tls);
    p.client.ExtraAuthorities = {certificates().authority()};
    p.client.Host = u"localhost"_s;
    QVERIFY(!p.failure().isEmpty());
    QCOMPARE(p.asked.size(), 1);
    QCOMPARE(p.asked.constFirst().Reasons, QStringList{u"Das Zertifikat gilt nicht für diesen Host."_s});
    QVERIFY(!credentialSent(fake));
}

void TestPop3Tls::handshakeWaitSleeps()
{
    FakePop3Server fake(silence());
    TlsProbe p(fake, TSecurity::Tls, 400);
    const std::clock_t cpuBefore = std::clock();
    QCOMPARE(p.failure(), u"Zeitüberschreitung beim TLS-Handshake"_s);
    const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    // The handshake waits in the event dispatcher: 400 ms cost next to no CPU.
    QVERIFY2(cpuMs < 150, qPrintable(QString::number(cpuMs) + u" ms CPU"_s));
}

void TestPop3Tls::dovecotLogsOnEncrypted_data()
{
    QTest::addColumn<int>("security");
    QTest::newRow("SSL/TLS on the pop3s listener") << int(TSecurity::Tls);
    QTest::newRow("STARTTLS on the plain listener") << int(TSecurity::StartTls);
}

void TestPop3Tls::dovecotLogsOnEncrypted()
{
    QFETCH(int, security);
    if (!DovecotServer::isAvailable())
        QSKIP("dovecot is not installed");
    DovecotServer server;
    const auto& identity = certificates().signedByAuthority();
    // Dovecot counts a connection from its own address as secure, so on
    // 127.0.0.1 it would still take a plain log-on; the refusal itself is
    // left to the fake server.
    server.setTls(DovecotServer::Tls::Required, identity.certificateFile, identity.keyFile);
    server.addMessage("Subject: Hallo\r\n\r\nText\r\n");
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    TPop3Client client;
    client.Host = u"127.0.0.1"_s;
    client.Security = TSecurity(security);
    client.Port = client.Security == TSecurity::Tls ? server.tlsPort() : server.port();
    client.UserID = QString::fromLatin1(server.user());
    client.Password = QString::fromLatin1(server.password());
    client.TimeOut = 5000;
    client.ExtraAuthorities = {certificates().authority()};
    bool asked = false;
    client.OnCertificateUntrusted = [&](const TCertificateInfo&, bool&) { asked = true; };
    client.Connect();
    QVERIFY(!asked);
    QVERIFY(client.Encrypted());
    QCOMPARE(client.MessageCount(), 1);
    // What the server offered in the clear is forgotten after STLS.
    QVERIFY(!client.HasCapability("STLS"));
    QVERIFY(client.HasCapability("USER"));
    client.RetrieveSummary(1);
    QCOMPARE(client.Summary().Subject, QByteArray(" Hallo"));
    client.Disconnect();
}

QTEST_GUILESS_MAIN(TestPop3Tls)
#include "tst_pop3tls.moc"
