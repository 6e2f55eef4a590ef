#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

// The test's own OAuth2 authorization and token server (oauth_server.py) on
// 127.0.0.1: authorization code with PKCE, token and refresh grants, and the
// introspection a mail server asks. It lives as long as this object; the
// control calls are synchronous and need no event loop.
class OAuthServer
{
public:
    OAuthServer();
    ~OAuthServer();

    // Whether python3 is there to run the server.
    static bool isAvailable();
    // What a test puts into BROWSER: opens the URL, consents, follows the
    // redirect to the program's loopback listener. SCRIPTED_BROWSER_LOG names
    // a file it appends each URL to.
    static QString browserScript();

    // The user every token belongs to and the client id the server expects;
    // set before start().
    void setUser(const QByteArray& user) { m_user = user; }
    QByteArray user() const { return m_user; }
    void setClientId(const QByteArray& clientId) { m_clientId = clientId; }
    QByteArray clientId() const { return m_clientId; }

    // Starts the server and reads its port. On failure the reason is in errorString().
    bool start();
    void stop();
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

    QUrl url(const QString& path) const;
    QUrl authorizeUrl() const { return url(QStringLiteral("/authorize")); }
    QUrl tokenUrl() const { return url(QStringLiteral("/token")); }
    QUrl introspectUrl() const { return url(QStringLiteral("/introspect")); }

    struct Tokens
    {
        QString access;
        QString refresh;
    };
    // A live access token and its refresh token, as if the user had consented.
    Tokens issue();
    void revokeRefresh();
    void expireAccess();
    // Consent refused from now on, or given again.
    void setDeny(bool deny);
    // The consent page never redirects: the program waits for a user who walked away.
    void setStall(bool stall);
    void setExpiresIn(int seconds);
    // Every request to /authorize, /token and /introspect so far, oldest
    // first: objects with method, path, query, form and authorization.
    QJsonArray requests();
    // The requests to one path only.
    QJsonArray requests(const QString& path);

    // One GET to the server; the body of the answer, empty when it failed.
    QByteArray get(const QString& path, const QUrlQuery& query = {});

private:
    QJsonDocument control(const QString& path, const QUrlQuery& query = {});

    QProcess m_process;
    QByteArray m_user = "test";
    QByteArray m_clientId = "postrella-test";
    quint16 m_port = 0;
    QString m_error;
};
