#pragma once

#include "OAuthSettings.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class QOAuth2AuthorizationCodeFlow;
class QOAuthHttpServerReplyHandler;
class TokenReplyWatch;

// Gets an access token for one account without waiting in a nested loop:
// from the tokens of the run while one is valid, else with the refresh token
// kept in the keyring, else (when someone is there to answer) through the
// authorization-code flow with PKCE in the user's browser, which comes back
// to a loopback port of this machine. A refresh token that arrives goes to
// the keyring, never into the settings file.
class OAuthAuthorizer : public QObject
{
    Q_OBJECT
public:
    static constexpr int BrowserTimeoutMs = 5 * 60 * 1000;
    static constexpr int RequestTimeoutMs = 20000;

    explicit OAuthAuthorizer(QObject* parent = nullptr);
    ~OAuthAuthorizer() override;

    // How long the browser may take; tests shorten it.
    int BrowserTimeout = BrowserTimeoutMs;
    // Hands the authorization page to the browser; openInBrowser unless replaced.
    std::function<bool(const QUrl& url)> OpenUrl;

    // account names the keyring entries of the account. renew: the server
    // refused the token given last, so a new one is asked for. interactive:
    // the browser may be asked when no refresh token serves.
    void start(const OAuthSettings& settings, const QString& account, bool interactive, bool renew);
    // Ends a request under way; failed follows with the reason.
    void cancel();
    bool running() const { return m_step != Step::Idle; }

    // The keyring entry of the account's refresh token, beside its password's.
    static QString refreshEntry(const QString& account);

signals:
    void tokenReady(const QString& token);
    void failed(const QString& message);
    // The user is to log on in the browser (true), or no longer (false).
    void browserWaiting(bool waiting);

private:
    enum class Step
    {
        Idle,
        ReadingKeyring,
        Refreshing,
        Browser,
    };
    void keyringRead(const QString& stored);
    void refresh(const QString& refreshToken);
    void authorizeInBrowser();
    void granted();
    void tokenRefused(const QString& error, const QString& description);
    void timedOut();
    void succeed(const QString& token);
    void fail(const QString& message);
    void reset();
    QOAuth2AuthorizationCodeFlow* newFlow();
    void dropFlow();
    // Keys the tokens by the endpoint and the client, so a token is never
    // shown to another provider than the one that issued it.
    QString tokenKey() const;
    QString keyringValue(const QString& refreshToken) const;
    void keepRefreshToken(const QString& refreshToken);
    void forgetRefreshToken();

    OAuthSettings m_settings;
    QString m_account;
    bool m_interactive = false;
    Step m_step = Step::Idle;
    // Counts the requests, so an answer of the keyring that arrives after its
    // request ended is not taken for the next one.
    quint64 m_request = 0;
    QString m_verifier;
    QPointer<QOAuth2AuthorizationCodeFlow> m_flow;
    QPointer<QOAuthHttpServerReplyHandler> m_handler;
    TokenReplyWatch* m_network = nullptr;
    QTimer m_timer;
};
