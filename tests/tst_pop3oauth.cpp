// The OAuth2 log-on on the wire: AUTH XOAUTH2 or OAUTHBEARER with the token,
// the server's refusal and a second token on the same connection; against the
// scripted server and a Dovecot that asks the test's token server.
#include "DovecotServer.h"
#include "OAuthServer.h"
#include "Pop3Probe.h"
#include "TestCertificates.h"

#include <QEventLoop>
#include <QJsonObject>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace Pop3Script;
using namespace Pop3Probe;

namespace {

// The SASL responses as the rows show them, in the clear, with %PORT for the
// server's port; the test encodes them once the port is known.
QByteArray xo(const QByteArray& token)
{
    return "user=u\x01" + ("auth=Bearer " + token) + "\x01\x01";
}

QByteArray bearer(const QByteArray& user, const QByteArray& token)
{
    return "n,a=" + user + ",\x01host=127.0.0.1\x01port=%PORT\x01" + ("auth=Bearer " + token) + "\x01\x01";
}

void encodeResponses(FakeScript& script, quint16 port)
{
    for (FakeStep& step : script) {
        if (step.kind != FakeStep::Client || !step.data.contains('\x01'))
            continue;
        const qsizetype start = step.data.startsWith("AUTH ") ? step.data.indexOf(' ', 5) + 1 : 0;
        const QByteArray response = step.data.sliced(start).replace("%PORT", QByteArray::number(port));
        step.data = step.data.left(start) + response.toBase64();
    }
}

// Runs the session without a wait up to its end; tokenAsked is answered with
// newToken from the event loop. Adds what happened to seen, in order.
void runSession(TPop3Client& c, const QString& newToken, QStringList& seen)
{
    QEventLoop loop;
    const auto end = [&](const QString& event) {
        seen << event;
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
    };
    QObject::connect(&c, &TPop3Client::tokenAsked, &c, [&] {
        seen << u"token"_s;
        QTimer::singleShot(0, &c, [&] { c.AnswerToken(newToken); });
    });
    QObject::connect(&c, &TPop3Client::sessionReady, &c, [&] {
        seen << u"ready "_s + QString::number(c.MessageCount()) + (c.Encrypted() ? u" encrypted"_s : QString());
        c.StartQuit();
    });
    QObject::connect(&c, &TPop3Client::sessionFailed, &c, [&](const QString& message) { end(u"failed "_s + message); });
    QObject::connect(&c, &TPop3Client::quitAnswered, &c, [&] { end(u"quit"_s); });
    QTimer::singleShot(0, &c, [&] { c.StartSession(); });
    // Only a safety net: the test fails instead of hanging.
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
}

const QString kFailed = u"failed Die Authentifizierung ist fehlgeschlagen"_s;

} // namespace

class TestPop3OAuth : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void logonOnTheWire_data();
    void logonOnTheWire();
    void dovecotTakesTheToken_data();
    void dovecotTakesTheToken();
};

void TestPop3OAuth::initTestCase()
{
    QVERIFY2(TestCertificates::instance().isValid(), qPrintable(TestCertificates::instance().errorString()));
}

void TestPop3OAuth::logonOnTheWire_data()
{
    QTest::addColumn<int>("security");
    QTest::addColumn<QString>("user");
    QTest::addColumn<FakeScript>("script");
    QTest::addColumn<QString>("newToken");
    QTest::addColumn<QStringList>("events");
    const int tls = int(TSecurity::Tls);
    const QByteArray refusal = "-ERR [AUTH] Authentication failed.";
    const QByteArray challenge = "+ " + QByteArray(R"({"status":"401","schemes":"bearer"})").toBase64();
    const FakeScript offersXo = startTls() + greeting("+OK ready", {"USER", "SASL PLAIN XOAUTH2 OAUTHBEARER"});
    const FakeScript offersBearer = startTls() + greeting("+OK ready", {"SASL PLAIN oauthbearer"});
    const FakeScript xoTok = offersXo + client("AUTH XOAUTH2 " + xo("tok"));

    QTest::newRow("XOAUTH2 offered: its line, never USER or PASS")
        << tls << u"u"_s << xoTok + server("+OK Logged in.") + stat(2) + quit() << QString()
        << QStringList{u"ready 2 encrypted"_s, u"quit"_s};
    // Nothing goes out before TLS; what the server offered in the clear is asked again.
    QTest::newRow("only OAUTHBEARER after STLS, the user escaped")
        << int(TSecurity::StartTls) << u"a=b,c"_s
        << greeting("+OK ready", {"STLS", "SASL XOAUTH2"}) + client("STLS") + server("+OK") + startTls() +
               capa({"SASL OAUTHBEARER"}) + client("AUTH OAUTHBEARER " + bearer("a=3Db=2Cc", "tok")) + server("+OK") +
               stat(0) + quit()
        << QString() << QStringList{u"ready 0 encrypted"_s, u"quit"_s};
    QTest::newRow("neither offered: nothing but QUIT")
        << tls << u"u"_s << startTls() + greeting("+OK ready", {"SASL PLAIN", "USER"}) + quit() << QString()
        << QStringList{u"failed Der Server bietet keine Anmeldung mit OAuth2 an."_s};
    QTest::newRow("refused with a challenge: an empty line, then a new token")
        << tls << u"u"_s
        << xoTok + server(challenge) + client("") + server(refusal) + client("AUTH XOAUTH2 " + xo("tok2")) +
               server("+OK") + stat(1) + quit()
        << u"tok2"_s << QStringList{u"token"_s, u"ready 1 encrypted"_s, u"quit"_s};
    QTest::newRow("OAUTHBEARER challenge answered with 0x01; the new token refused too")
        << tls << u"u"_s
        << offersBearer + client("AUTH OAUTHBEARER " + bearer("u", "tok")) + server(challenge) + client("AQ==") +
               server(refusal) + client("AUTH OAUTHBEARER " + bearer("u", "tok2")) + server(challenge) +
               client("AQ==") + server(refusal) + quit()
        << u"tok2"_s << QStringList{u"token"_s, kFailed};
    QTest::newRow("refused, no new token: QUIT")
        << tls << u"u"_s << xoTok + server(refusal) + quit() << QString() << QStringList{u"token"_s, kFailed};
    // A caller that waits in Connect is not asked anything: the refusal fails it.
    QTest::newRow("waiting Connect: refused, QUIT")
        << tls << u"u"_s << xoTok + server(refusal) + quit() << u"-"_s << QStringList{kFailed};
    // A server that challenges without end is cancelled, then dropped.
    QTest::newRow("endless challenges: cancelled, then dropped")
        << tls << u"u"_s
        << xoTok + server(challenge) + client("") + server(challenge) + client("") + server(challenge) + client("*") +
               server(challenge)
        << QString()
        << QStringList{u"failed Antwort passt nicht zu AUTH XOAUTH2: \""_s + QString::fromLatin1(challenge) +
                       u"\", Verbindung getrennt"_s};
    QTest::newRow("out of step: the error text hides the response")
        << tls << u"u"_s << xoTok + server("what?") << QString()
        << QStringList{u"failed Antwort passt nicht zu AUTH XOAUTH2 ***: \"what?\", Verbindung getrennt"_s};
    QTest::newRow("no initial response taken: sent on the empty challenge")
        << tls << u"u"_s << xoTok + server("+ ") + client(xo("tok")) + server("+OK") + stat(0) + quit() << QString()
        << QStringList{u"ready 0 encrypted"_s, u"quit"_s};
    QTest::newRow("no TLS: refused before connecting")
        << int(TSecurity::None) << u"u"_s << FakeScript() << QString()
        << QStringList{u"failed Die Anmeldung mit OAuth2 ist nur über eine verschlüsselte Verbindung (SSL/TLS oder "
                       u"STARTTLS) möglich."_s};
    // A control byte would end the user field and forge one of its own.
    QTest::newRow("control byte in the user: refused before connecting")
        << tls << u"u\x01"_s + u"auth=Bearer x"_s << FakeScript() << QString()
        << QStringList{u"failed Der Benutzername enthält Steuerzeichen."_s};
}

void TestPop3OAuth::logonOnTheWire()
{
    QFETCH(int, security);
    QFETCH(QString, user);
    QFETCH(FakeScript, script);
    QFETCH(QString, newToken);
    QFETCH(QStringList, events);
    FakePop3Server fake;
    const auto& identity = TestCertificates::instance().signedByAuthority();
    fake.setTlsIdentity(identity.certificate, identity.key);
    encodeResponses(script, fake.port());
    fake.setScript(script);
    Probe p(fake);
    p.client.Security = TSecurity(security);
    p.client.ExtraAuthorities = {TestCertificates::instance().authority()};
    p.client.UserID = user;
    p.client.Password.clear();
    p.client.OAuthToken = u"tok"_s;
    QStringList seen;
    p.client.OnAuthenticationNeeded = [&](bool&) { seen << u"password asked"_s; };
    p.client.OnAuthenticationFailed = [&](bool&) { seen << u"password asked"_s; };
    if (newToken == u"-"_s)
        seen << u"failed "_s + p.failure([&] { p.client.Connect(); });
    else
        runSession(p.client, newToken, seen);
    QCOMPARE(seen, events);
    FAKE_POP3_VERIFY(fake);
    QCOMPARE(fake.connectionCount(), script.isEmpty() ? 0 : 1);
    // The log shows the server's replies; neither the token nor the response is among them.
    const QString log = p.events.join(u'\n');
    QVERIFY(!log.contains(u"tok"_s));
    for (const QByteArray& line : fake.received()) {
        QVERIFY2(!line.startsWith("USER") && !line.startsWith("PASS"), line.constData());
        QVERIFY(!line.startsWith("AUTH") || !log.contains(QString::fromLatin1(line.split(' ').value(2).trimmed())));
    }
}

void TestPop3OAuth::dovecotTakesTheToken_data()
{
    QTest::addColumn<QByteArray>("mechanisms");
    QTest::addColumn<int>("security");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QStringList>("events");
    const int tls = int(TSecurity::Tls);
    const int stls = int(TSecurity::StartTls);
    const QStringList ready = {u"ready 1 encrypted"_s, u"quit"_s};
    QTest::newRow("XOAUTH2 over STARTTLS") << QByteArray("xoauth2 oauthbearer") << stls << u"live"_s << ready;
    QTest::newRow("XOAUTH2 over TLS") << QByteArray("xoauth2 oauthbearer") << tls << u"live"_s << ready;
    QTest::newRow("OAUTHBEARER over STARTTLS") << QByteArray("oauthbearer") << stls << u"live"_s << ready;
    QTest::newRow("OAUTHBEARER over TLS") << QByteArray("oauthbearer") << tls << u"live"_s << ready;
    QTest::newRow("expired token: asked, a fresh one taken")
        << QByteArray("xoauth2 oauthbearer") << tls << u"expired"_s << QStringList{u"token"_s} + ready;
    QTest::newRow("unknown token: asked, the fresh one refused too")
        << QByteArray("oauthbearer") << stls << u"unknown"_s << QStringList{u"token"_s, kFailed};
}

void TestPop3OAuth::dovecotTakesTheToken()
{
    QFETCH(QByteArray, mechanisms);
    QFETCH(int, security);
    QFETCH(QString, token);
    QFETCH(QStringList, events);
    if (!DovecotServer::isAvailable())
        QSKIP("dovecot is not installed (package dovecot-pop3d); scripts/install-deps.sh installs it");
    OAuthServer tokens;
    QVERIFY2(tokens.start(), qPrintable(tokens.errorString()));
    DovecotServer server;
    const auto& identity = TestCertificates::instance().signedByAuthority();
    server.setTls(DovecotServer::Tls::On, identity.certificateFile, identity.keyFile);
    server.setOAuth2(tokens.introspectUrl().toString(), mechanisms);
    server.addMessage("Subject: Hallo\r\n\r\nText\r\n");
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    TPop3Client c;
    c.Host = u"127.0.0.1"_s;
    c.Security = TSecurity(security);
    c.Port = c.Security == TSecurity::Tls ? server.tlsPort() : server.port();
    c.ExtraAuthorities = {TestCertificates::instance().authority()};
    c.UserID = QString::fromLatin1(server.user());
    c.TimeOut = 20000;
    const OAuthServer::Tokens issued = tokens.issue();
    c.OAuthToken = token == u"unknown"_s ? u"at-unknown"_s : issued.access;
    if (token == u"expired"_s)
        tokens.expireAccess();
    const QString fresh = token == u"unknown"_s ? u"at-also-unknown"_s : tokens.issue().access;
    QStringList seen;
    runSession(c, fresh, seen);
    QVERIFY2(seen == events, qPrintable(seen.join(u", "_s) + u"\n"_s + server.log()));
    // The mail server asked the token server about the very token sent.
    const QJsonArray asked = tokens.requests(u"/introspect"_s);
    QVERIFY(!asked.isEmpty());
    QCOMPARE(asked.first().toObject().value(u"form"_s).toObject().value(u"token"_s).toString(),
             token == u"unknown"_s ? u"at-unknown"_s : issued.access);
}

QTEST_GUILESS_MAIN(TestPop3OAuth)
#include "tst_pop3oauth.moc"
