// The check of an account that logs on with OAuth2, against a Dovecot that
// asks the test's token server, with a scripted browser in BROWSER.
#include "BackgroundCheck.h"
#include "BerichtUn.h"
#include "CheckWait.h"
#include "DovecotServer.h"
#include "FakePop3Server.h"
#include "OAuthServer.h"
#include "OAuthTokens.h"
#include "Pop3Client.h"
#include "ProgramWindows.h"
#include "SettingsStore.h"
#include "StatusLabel.h"
#include "TestCertificates.h"
#include "TestSupport.h"

#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QString kEntry = u"Büro (test@127.0.0.1)/oauth2-refresh"_s;

QString field(const QJsonValue& request, const QString& part, const QString& name)
{
    return request.toObject().value(part).toObject().value(name).toString();
}

// The program on a Dovecot over TLS that takes only tokens of the token server.
struct Setup
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    OAuthServer tokens;
    DovecotServer server;
    std::unique_ptr<ProgramWindows> windows;
    QString started;

    Setup()
    {
        const auto& identity = TestCertificates::instance().signedByAuthority();
        if (!tokens.start()) {
            started = tokens.errorString();
            return;
        }
        server.setTls(DovecotServer::Tls::On, identity.certificateFile, identity.keyFile);
        server.setOAuth2(tokens.introspectUrl().toString());
        server.addMessage("From: ann@example.org\r\nSubject: Hallo\r\n\r\nText\r\n");
        if (!server.start())
            started = server.errorString();
    }
    void open(quint16 port = 0, const QString& security = Variabel::SecurityTls, const QString& provider = u"Eigener"_s)
    {
        for (const QString& name : {u"First"_s, u"Startschirm"_s})
            SettingsStore().writeString(u"Programm"_s, name, u"0"_s);
        windows = std::make_unique<ProgramWindows>();
        Variabel& v = windows->state;
        v.Konto[1] = u"Büro"_s;
        v.Host[1] = u"127.0.0.1"_s;
        v.Port[1] = port ? port : server.tlsPort();
        v.Sicherheit[1] = security;
        v.UserID[1] = QString::fromLatin1(tokens.user());
        v.Anmeldung[1] = Variabel::LogOnOAuth2;
        v.OAuthAnbieter[1] = provider;
        v.OAuthAutorisierung[1] = tokens.authorizeUrl().toString();
        v.OAuthToken[1] = tokens.tokenUrl().toString();
        v.OAuthClient[1] = provider == u"Eigener"_s ? QString::fromLatin1(tokens.clientId()) : QString();
        v.OAuthScope[1] = u"pop"_s;
        TStammForm& f = form();
        for (TPop3Client* client : {f.Pop3Client1, f.BackgroundCheck()->Client()})
            client->ExtraAuthorities = {TestCertificates::instance().authority()};
        f.Anzeige_Setzen();
        f.show();
        f.Konten->setEditText(u"Büro"_s);
    }
    TStammForm& form() { return windows->StammForm; }
    QStringList log() { return windows->BerichtForm->lines(); }
};

} // namespace

class TestOAuthCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void firstCheckLogsOnInTheBrowser();
    void refusedTokenIsRenewed_data();
    void refusedTokenIsRenewed();
    void nothingReachesTheServer_data();
    void nothingReachesTheServer();
    void cancelEndsTheWaitForTheBrowser();
    void scheduledCheckNeverOpensABrowser_data();
    void scheduledCheckNeverOpensABrowser();

private:
    int browserRuns() const
    {
        QFile log(m_browserLog);
        return log.open(QIODevice::ReadOnly) ? int(log.readAll().count('\n')) : 0;
    }
    QTemporaryDir m_dir;
    QString m_browserLog;
};

void TestOAuthCheck::initTestCase()
{
    if (!DovecotServer::isAvailable())
        QSKIP("dovecot is not installed (package dovecot-pop3d); scripts/install-deps.sh installs it");
    if (!OAuthServer::isAvailable())
        QSKIP("python3 is not installed");
    QVERIFY2(TestCertificates::instance().isValid(), qPrintable(TestCertificates::instance().errorString()));
    m_browserLog = m_dir.filePath(u"browser.log"_s);
    qputenv("BROWSER", OAuthServer::browserScript().toLocal8Bit());
    qputenv("SCRIPTED_BROWSER_LOG", m_browserLog.toLocal8Bit());
}

void TestOAuthCheck::init()
{
    QFile::remove(m_browserLog);
    OAuthTokens::instance().clear();
}

void TestOAuthCheck::firstCheckLogsOnInTheBrowser()
{
    // Inside keyring-session.sh the refresh token goes to a real keyring.
    const bool keyring = qEnvironmentVariable("POSTRELLA_PRIVATE_KEYRING") == u"keyring"_s;
    KeychainSecretStore desktop;
    Setup s;
    QVERIFY2(s.started.isEmpty(), qPrintable(s.started));
    if (keyring)
        SecretStore::setInstance(&desktop);
    auto back = qScopeGuard([&] { SecretStore::setInstance(&s.env.secrets()); });
    s.open();
    QVERIFY(clickCheck(s.form()));
    QCOMPARE(s.dialogs.texts(), QStringList());
    QCOMPARE(s.form().LAnzahl->text(), u"1"_s);
    QCOMPARE(browserRuns(), 1);

    // PKCE: the server took the verifier only because it hashes to the challenge of the browser's visit.
    QCOMPARE(field(s.tokens.requests(u"/authorize"_s).first(), u"query"_s, u"code_challenge_method"_s), u"S256"_s);
    QVERIFY(!field(s.tokens.requests(u"/token"_s).first(), u"form"_s, u"code_verifier"_s).isEmpty());

    // The mail server saw a token log-on, never USER or PASS.
    const QString mailLog = s.server.log();
    QVERIFY2(mailLog.contains(u"XOAUTH2"_s, Qt::CaseInsensitive), qPrintable(mailLog));
    QVERIFY(!mailLog.contains(u"method=PLAIN"_s) && !mailLog.contains(u"USER"_s));

    s.form().close();
    const QString entry = SecretStore::instance().read(kEntry).password;
    const QString refresh = QJsonDocument::fromJson(entry.toUtf8()).object().value(u"refresh_token"_s).toString();
    QVERIFY(!refresh.isEmpty());
    const QString access = field(s.tokens.requests(u"/introspect"_s).first(), u"form"_s, u"token"_s);
    QFile settings(s.env.settingsFile());
    QVERIFY(settings.open(QIODevice::ReadOnly));
    const QByteArray stored = settings.readAll();
    QVERIFY(stored.contains("Anmeldung1=OAuth2") && !stored.contains(refresh.toLatin1()) &&
            !stored.contains(access.toLatin1()));
}

void TestOAuthCheck::refusedTokenIsRenewed_data()
{
    QTest::addColumn<bool>("revoke");
    QTest::addColumn<int>("browsers");
    QTest::newRow("expired access token: refreshed without the browser") << false << 1;
    QTest::newRow("revoked refresh token: the browser again") << true << 2;
}

void TestOAuthCheck::refusedTokenIsRenewed()
{
    QFETCH(bool, revoke);
    QFETCH(int, browsers);
    Setup s;
    QVERIFY2(s.started.isEmpty(), qPrintable(s.started));
    s.open();
    QVERIFY(clickCheck(s.form()));
    // The token in memory is still valid by its expiry; the mail server refuses it.
    s.tokens.expireAccess();
    if (revoke)
        s.tokens.revokeRefresh();
    QVERIFY(clickCheck(s.form()));
    QCOMPARE(s.dialogs.texts(), QStringList());
    QCOMPARE(s.form().LAnzahl->text(), u"1"_s);
    QCOMPARE(browserRuns(), browsers);
    const QJsonArray grants = s.tokens.requests(u"/token"_s);
    QCOMPARE(field(grants.at(1), u"form"_s, u"grant_type"_s), u"refresh_token"_s);
    QCOMPARE(grants.size(), revoke ? 3 : 2);
}

void TestOAuthCheck::nothingReachesTheServer_data()
{
    QTest::addColumn<QString>("security");
    QTest::addColumn<QString>("provider");
    QTest::addColumn<bool>("deny");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("browsers");
    QTest::addColumn<QString>("tokenUrl"); // empty: the token server's
    QTest::newRow("consent denied") << Variabel::SecurityTls << u"Eigener"_s << true
                                    << u"Die Anmeldung wurde im Browser abgelehnt"_s << 1 << QString();
    // The code and the tokens would cross the network in the clear.
    QTest::newRow("token URL in the clear to another host")
        << Variabel::SecurityTls << u"Eigener"_s << false << u"ist keine gültige https-Adresse"_s << 0
        << u"http://id.example.org/token"_s;
    QTest::newRow("plain connection: refused before the browser")
        << Variabel::SecurityNone << u"Eigener"_s << false << u"Wählen Sie als Sicherheit SSL/TLS oder STARTTLS"_s << 0
        << QString();
    QTest::newRow("no client id built in or entered")
        << Variabel::SecurityStartTls << u"Microsoft"_s << false
        << u"keine Client-ID für Microsoft eingebaut. Tragen Sie in den Einstellungen"_s << 0 << QString();
}

void TestOAuthCheck::nothingReachesTheServer()
{
    QFETCH(QString, security);
    QFETCH(QString, provider);
    QFETCH(bool, deny);
    QFETCH(QString, box);
    QFETCH(int, browsers);
    QFETCH(QString, tokenUrl);
    Setup s;
    QVERIFY2(s.started.isEmpty(), qPrintable(s.started));
    s.tokens.setDeny(deny);
    FakePop3Server fake; // expects no connection at all
    s.open(fake.port(), security, provider);
    if (!tokenUrl.isEmpty())
        s.windows->state.OAuthToken[1] = tokenUrl;
    QVERIFY(clickCheck(s.form()));
    QCOMPARE(s.dialogs.texts().size(), 1);
    QVERIFY2(s.dialogs.texts().first().contains(box), qPrintable(s.dialogs.texts().first()));
    QVERIFY(s.log().contains(u"Error: "_s + s.dialogs.texts().first()));
    QCOMPARE(fake.connectionCount(), 0);
    QCOMPARE(browserRuns(), browsers);
}

void TestOAuthCheck::cancelEndsTheWaitForTheBrowser()
{
    Setup s;
    QVERIFY2(s.started.isEmpty(), qPrintable(s.started));
    s.tokens.setStall(true);
    s.open();
    TStammForm& f = s.form();
    QTest::mouseClick(f.SBCheck, Qt::LeftButton);
    QTRY_VERIFY(f.PBrowser->isVisible());
    QCOMPARE(f.PBrowser->accessibleName(), u"Anmeldung im Browser"_s);
    QVERIFY(f.LStatus->text().contains(u"Browser"_s));
    QTRY_COMPARE(browserRuns(), 1);
    QTest::mouseClick(f.SBBrowserAbbrechen, Qt::LeftButton);
    QTRY_VERIFY(!f.Check().running());
    QVERIFY(!f.PBrowser->isVisible());
    QCOMPARE(s.dialogs.texts(), QStringList{u"Die Anmeldung im Browser wurde abgebrochen."_s});
    QVERIFY(s.tokens.requests(u"/introspect"_s).isEmpty());
    QVERIFY(f.SBCheck->isEnabled());
}

void TestOAuthCheck::scheduledCheckNeverOpensABrowser_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("sameEndpoint");
    QTest::addColumn<QString>("line");
    const QString none = u"Büro: Error: Für das Konto ist keine gültige OAuth2-Anmeldung gespeichert."_s;
    QTest::newRow("refresh token kept: checked silently") << true << true << u"Büro: 1 warten, 1 neu, 0 gelöscht"_s;
    QTest::newRow("none kept: fails into the log") << false << true << none;
    // The account's provider changed since: its token is never shown to the new one.
    QTest::newRow("kept for another token URL: not sent") << true << false << none;
}

void TestOAuthCheck::scheduledCheckNeverOpensABrowser()
{
    QFETCH(bool, stored);
    QFETCH(bool, sameEndpoint);
    QFETCH(QString, line);
    Setup s;
    QVERIFY2(s.started.isEmpty(), qPrintable(s.started));
    if (stored) {
        const QString url = sameEndpoint ? s.tokens.tokenUrl().toString() : u"https://other.example/token"_s;
        const QJsonObject entry{{u"token_url"_s, url},
                                {u"client_id"_s, QString::fromLatin1(s.tokens.clientId())},
                                {u"refresh_token"_s, s.tokens.issue().refresh}};
        s.env.secrets().entries.insert(kEntry, QString::fromUtf8(QJsonDocument(entry).toJson()));
    }
    s.open();
    s.windows->state.Automatisch = true;
    s.form().BackgroundCheck()->checkNow();
    QTRY_COMPARE(s.log().filter(u"Automatische Prüfung"_s).size(), 1);
    const QString logged = s.log().filter(u"Automatische Prüfung"_s).first();
    QVERIFY2(logged.contains(line), qPrintable(logged));
    QVERIFY(s.form().LStatus->text().contains(line));
    QCOMPARE(s.dialogs.texts(), QStringList());
    QCOMPARE(browserRuns(), 0);
    QCOMPARE(s.tokens.requests(u"/token"_s).size(), sameEndpoint && stored ? 1 : 0);
}

QTEST_MAIN(TestOAuthCheck)
#include "tst_oauthcheck.moc"
