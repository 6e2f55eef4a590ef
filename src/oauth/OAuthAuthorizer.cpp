#include "OAuthAuthorizer.h"

#include "BrowserOpener.h"
#include "OAuthTokens.h"
#include "SecretStore.h"
#include "UiLanguage.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QOAuth2AuthorizationCodeFlow>
#include <QOAuthHttpServerReplyHandler>
#include <QOAuthOobReplyHandler>
#include <QRandomGenerator>

using namespace Qt::StringLiterals;

// Reports what the token endpoint refused. The flow of this Qt version only
// warns on a refused token request and leaves its caller waiting.
class TokenReplyWatch : public QNetworkAccessManager
{
public:
    using QNetworkAccessManager::QNetworkAccessManager;

    std::function<void(const QString& error, const QString& description)> Refused;

protected:
    QNetworkReply* createRequest(Operation op, const QNetworkRequest& request, QIODevice* body) override
    {
        QNetworkReply* reply = QNetworkAccessManager::createRequest(op, request, body);
        // Connected before the flow's own handler, which reads the reply: only peek.
        connect(reply, &QNetworkReply::finished, this, [this, reply] {
            const QJsonObject json = QJsonDocument::fromJson(reply->peek(reply->bytesAvailable())).object();
            const QString error = json.value(u"error"_s).toString();
            QString description = json.value(u"error_description"_s).toString();
            if (reply->error() == QNetworkReply::NoError && error.isEmpty())
                return;
            if (description.isEmpty())
                description = error.isEmpty() ? reply->errorString() : error;
            if (Refused)
                Refused(error, description);
        });
        return reply;
    }
};

namespace {

// What the user reads, in one place; looked up when shown, as the
// language is known only once the program has started.
QString kNothingKept()
{
    return byLanguage(
        u"Für das Konto ist keine gültige OAuth2-Anmeldung gespeichert. Prüfen Sie es einmal "
        u"selbst, um sich im Browser anzumelden."_s,
        u"No valid OAuth2 log-on is kept for the account. Check it once yourself to log on in the browser."_s);
}
QString kNoPort()
{
    return byLanguage(u"Für die Rückkehr aus dem Browser kann kein Port auf 127.0.0.1 geöffnet werden."_s,
                      u"No port on 127.0.0.1 can be opened for the return from the browser."_s);
}
QString kReceivedPage()
{
    return byLanguage(u"Postrella hat die Anmeldung erhalten. Sie können diese Seite schließen."_s,
                      u"Postrella has received the log-on. You can close this page."_s);
}
QString kDenied()
{
    return byLanguage(u"Die Anmeldung wurde im Browser abgelehnt, Postrella darf das Postfach nicht lesen."_s,
                      u"The log-on was refused in the browser; Postrella may not read the mailbox."_s);
}
QString kRefused()
{
    return byLanguage(u"Der OAuth2-Anbieter hat die Anmeldung abgelehnt: "_s,
                      u"The OAuth2 provider refused the log-on: "_s);
}
QString kNoBrowser()
{
    return byLanguage(u"Der Browser für die OAuth2-Anmeldung konnte nicht geöffnet werden."_s,
                      u"The browser for the OAuth2 log-on could not be opened."_s);
}
QString kNoToken()
{
    return byLanguage(u"Der OAuth2-Anbieter hat kein Zugangstoken geliefert."_s,
                      u"The OAuth2 provider delivered no access token."_s);
}
QString kNotIssued()
{
    return byLanguage(u"Der OAuth2-Anbieter hat kein Zugangstoken ausgegeben: "_s,
                      u"The OAuth2 provider issued no access token: "_s);
}
QString kTooLongBefore()
{
    return byLanguage(u"Die Anmeldung im Browser wurde nicht innerhalb von "_s,
                      u"The log-on in the browser was not completed within "_s);
}
QString kTooLongAfter()
{
    return byLanguage(u" Minuten abgeschlossen."_s, u" minutes."_s);
}
QString kSilent()
{
    return byLanguage(u"Der OAuth2-Anbieter antwortet nicht."_s, u"The OAuth2 provider does not answer."_s);
}
QString kCancelledInBrowser()
{
    return byLanguage(u"Die Anmeldung im Browser wurde abgebrochen."_s, u"The log-on in the browser was cancelled."_s);
}
QString kCancelled()
{
    return byLanguage(u"Die OAuth2-Anmeldung wurde abgebrochen."_s, u"The OAuth2 log-on was cancelled."_s);
}

// How long the loopback listener outlives its flow, to finish its answer.
constexpr int kHandlerGraceMs = 2000;

QString base64Url(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

// A PKCE code verifier: 64 characters from 48 random bytes of the system's
// generator, well within the 43 to 128 the flow allows.
QString newVerifier()
{
    QByteArray bytes(48, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return base64Url(bytes);
}

// The refusals that say the refresh token is of no use any more.
bool refreshTokenGone(const QString& error)
{
    return error == u"invalid_grant"_s || error == u"invalid_token"_s || error == u"unauthorized_client"_s;
}

} // namespace

OAuthAuthorizer::OAuthAuthorizer(QObject* parent) : QObject(parent), OpenUrl(&openInBrowser)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &OAuthAuthorizer::timedOut);
}

OAuthAuthorizer::~OAuthAuthorizer()
{
    delete m_flow;
    delete m_handler;
}

QString OAuthAuthorizer::refreshEntry(const QString& account)
{
    return account + u"/oauth2-refresh"_s;
}

QString OAuthAuthorizer::tokenKey() const
{
    return m_account + u'\n' + m_settings.tokenUrl.toString() + u'\n' + m_settings.clientId;
}

QString OAuthAuthorizer::keyringValue(const QString& refreshToken) const
{
    const QJsonObject entry{{u"token_url"_s, m_settings.tokenUrl.toString()},
                            {u"client_id"_s, m_settings.clientId},
                            {u"refresh_token"_s, refreshToken}};
    return QString::fromUtf8(QJsonDocument(entry).toJson(QJsonDocument::Compact));
}

void OAuthAuthorizer::start(const OAuthSettings& settings, const QString& account, bool interactive, bool renew)
{
    if (running())
        return;
    const quint64 request = ++m_request;
    m_settings = settings;
    m_account = account;
    m_interactive = interactive;
    m_step = Step::ReadingKeyring;
    // Answered from the event loop, as every later step is.
    const auto later = [this, request](auto step) {
        QTimer::singleShot(0, this, [this, request, step] {
            if (request == m_request && running())
                step();
        });
    };
    const QString problem = settings.problem();
    if (!problem.isEmpty()) {
        later([this, problem] { fail(problem); });
        return;
    }
    OAuthTokens& tokens = OAuthTokens::instance();
    if (renew)
        tokens.dropAccess(tokenKey());
    const QString access = tokens.access(tokenKey());
    if (!access.isEmpty()) {
        later([this, access] { succeed(access); });
        return;
    }
    const QString kept = tokens.refresh(tokenKey());
    if (!kept.isEmpty()) {
        later([this, kept] { refresh(kept); });
        return;
    }
    SecretStore::instance().readLater(refreshEntry(account), this, [this, request](const SecretStore::Result& found) {
        if (request != m_request || m_step != Step::ReadingKeyring)
            return;
        keyringRead(found.outcome == SecretStore::Outcome::Done ? found.password : QString());
    });
}

void OAuthAuthorizer::keyringRead(const QString& stored)
{
    const QJsonObject entry = QJsonDocument::fromJson(stored.toUtf8()).object();
    const QString refreshToken = entry.value(u"refresh_token"_s).toString();
    // A token of another endpoint or client is never sent here: the provider
    // of the account may have changed since it was kept.
    if (!refreshToken.isEmpty() && entry.value(u"token_url"_s).toString() == m_settings.tokenUrl.toString() &&
        entry.value(u"client_id"_s).toString() == m_settings.clientId) {
        OAuthTokens::instance().setRefresh(tokenKey(), refreshToken);
        refresh(refreshToken);
        return;
    }
    authorizeInBrowser();
}

QOAuth2AuthorizationCodeFlow* OAuthAuthorizer::newFlow()
{
    auto* flow = new QOAuth2AuthorizationCodeFlow(this);
    auto* network = new TokenReplyWatch(flow);
    network->Refused = [this](const QString& error, const QString& description) { tokenRefused(error, description); };
    flow->setNetworkAccessManager(network);
    flow->setAuthorizationUrl(m_settings.authorizationUrl);
    flow->setAccessTokenUrl(m_settings.tokenUrl);
    flow->setClientIdentifier(m_settings.clientId);
    flow->setScope(m_settings.scope);
    const QString clientId = m_settings.clientId;
    // PKCE (S256) by hand: this Qt version's flow has none of its own.
    flow->setModifyParametersFunction([this, clientId](QAbstractOAuth::Stage stage,
                                                       QMultiMap<QString, QVariant>* parameters) {
        switch (stage) {
        case QAbstractOAuth::Stage::RequestingAuthorization:
            parameters->insert(u"code_challenge"_s,
                               base64Url(QCryptographicHash::hash(m_verifier.toLatin1(), QCryptographicHash::Sha256)));
            parameters->insert(u"code_challenge_method"_s, u"S256"_s);
            break;
        case QAbstractOAuth::Stage::RequestingAccessToken:
            parameters->insert(u"code_verifier"_s, m_verifier);
            break;
        case QAbstractOAuth::Stage::RefreshingAccessToken:
            // A public client names itself in every grant.
            if (!parameters->contains(u"client_id"_s))
                parameters->insert(u"client_id"_s, clientId);
            break;
        default:
            break;
        }
    });
    connect(flow, &QAbstractOAuth::granted, this, &OAuthAuthorizer::granted);
    m_flow = flow;
    return flow;
}

void OAuthAuthorizer::dropFlow()
{
    if (!m_flow)
        return;
    // A reply still under way for it must not speak for the next request.
    m_flow->disconnect(this);
    if (auto* network = dynamic_cast<TokenReplyWatch*>(m_flow->networkAccessManager()))
        network->Refused = nullptr;
    m_flow->deleteLater();
    m_flow = nullptr;
}

void OAuthAuthorizer::refresh(const QString& refreshToken)
{
    m_step = Step::Refreshing;
    QOAuth2AuthorizationCodeFlow* flow = newFlow();
    // The flow takes the token answer through a reply handler; no redirect is involved.
    flow->setReplyHandler(new QOAuthOobReplyHandler(flow));
    flow->setRefreshToken(refreshToken);
    m_timer.start(RequestTimeoutMs);
    flow->refreshAccessToken();
}

void OAuthAuthorizer::authorizeInBrowser()
{
    if (!m_interactive) {
        // The schedule never opens a browser: nobody may be there to log on.
        fail(kNothingKept());
        return;
    }
    m_step = Step::Browser;
    dropFlow();
    // The browser comes back to this machine only, on a port of its choosing.
    m_handler = new QOAuthHttpServerReplyHandler(QHostAddress::LocalHost, 0, this);
    if (!m_handler->isListening()) {
        fail(kNoPort());
        return;
    }
    m_handler->setCallbackText(kReceivedPage());
    m_verifier = newVerifier();
    QOAuth2AuthorizationCodeFlow* flow = newFlow();
    flow->setReplyHandler(m_handler);
    connect(flow, &QAbstractOAuth2::error, this, [this](const QString& error, const QString& description) {
        if (m_step != Step::Browser)
            return;
        if (error == u"access_denied"_s)
            fail(kDenied());
        else
            fail(kRefused() + (description.isEmpty() ? error : description));
    });
    connect(flow, &QAbstractOAuth::authorizeWithBrowser, this, [this](const QUrl& url) {
        emit browserWaiting(true);
        if (m_step == Step::Browser && !(OpenUrl && OpenUrl(url)))
            fail(kNoBrowser());
    });
    m_timer.start(BrowserTimeout);
    flow->grant();
}

void OAuthAuthorizer::granted()
{
    if (!running() || !m_flow)
        return;
    const QString token = m_flow->token();
    if (token.isEmpty()) {
        fail(kNoToken());
        return;
    }
    OAuthTokens::instance().setAccess(tokenKey(), token, m_flow->expirationAt());
    const QString refreshToken = m_flow->refreshToken();
    if (!refreshToken.isEmpty() && refreshToken != OAuthTokens::instance().refresh(tokenKey()))
        keepRefreshToken(refreshToken);
    succeed(token);
}

void OAuthAuthorizer::keepRefreshToken(const QString& refreshToken)
{
    // Held for the run as well, so a keyring that cannot take it costs only
    // the next run a log-on in the browser.
    OAuthTokens::instance().setRefresh(tokenKey(), refreshToken);
    SecretStore::instance().writeLater(refreshEntry(m_account), keyringValue(refreshToken),
                                       QCoreApplication::instance(), nullptr);
}

void OAuthAuthorizer::forgetRefreshToken()
{
    OAuthTokens::instance().dropRefresh(tokenKey());
    SecretStore::instance().removeLater(refreshEntry(m_account), QCoreApplication::instance(), nullptr);
}

void OAuthAuthorizer::tokenRefused(const QString& error, const QString& description)
{
    if (m_step == Step::Refreshing && refreshTokenGone(error)) {
        // Revoked or expired: the user logs on again, if there is one.
        forgetRefreshToken();
        dropFlow();
        m_timer.stop();
        authorizeInBrowser();
        return;
    }
    if (running())
        fail(kNotIssued() + description);
}

void OAuthAuthorizer::timedOut()
{
    if (m_step == Step::Browser)
        fail(kTooLongBefore() + QString::number(BrowserTimeout / 60000) + kTooLongAfter());
    else if (running())
        fail(kSilent());
}

void OAuthAuthorizer::cancel()
{
    if (!running())
        return;
    fail(m_step == Step::Browser ? kCancelledInBrowser() : kCancelled());
}

void OAuthAuthorizer::succeed(const QString& token)
{
    reset();
    emit tokenReady(token);
}

void OAuthAuthorizer::fail(const QString& message)
{
    if (!running())
        return;
    reset();
    emit failed(message);
}

void OAuthAuthorizer::reset()
{
    const bool browser = m_step == Step::Browser;
    m_step = Step::Idle;
    m_timer.stop();
    m_verifier.clear();
    dropFlow();
    if (m_handler) {
        // The browser still gets the page that answers its redirect; the
        // flow that would take a later visit is gone.
        m_handler->disconnect();
        QTimer::singleShot(kHandlerGraceMs, m_handler.data(), &QObject::deleteLater);
        m_handler = nullptr;
    }
    if (browser)
        emit browserWaiting(false);
}
