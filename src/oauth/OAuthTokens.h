#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

// The tokens of the run, shared by the user's and the scheduled checks: the
// access token of each account with its expiry, and a refresh token that the
// keyring could not take. Nothing here is ever written to a file.
class OAuthTokens
{
public:
    static OAuthTokens& instance();

    // The access token while it is valid for some time yet; empty otherwise.
    QString access(const QString& key, const QDateTime& now = QDateTime::currentDateTimeUtc()) const;
    // An invalid expiry means the provider gave none: valid until refused.
    void setAccess(const QString& key, const QString& token, const QDateTime& expiry);
    void dropAccess(const QString& key);

    QString refresh(const QString& key) const { return m_refresh.value(key); }
    void setRefresh(const QString& key, const QString& token) { m_refresh.insert(key, token); }
    void dropRefresh(const QString& key) { m_refresh.remove(key); }

    void clear();

private:
    struct Access
    {
        QString token;
        QDateTime expiry;
    };
    QHash<QString, Access> m_access;
    QHash<QString, QString> m_refresh;
};
