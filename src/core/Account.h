#pragma once

#include "CertificateTrust.h"
#include "OAuthSettings.h"
#include "Pop3Client.h"

#include <QString>

struct Variabel;

// What connecting to one account takes, read from its settings slot: every
// path that logs on (the user's check, the schedule, an examination) starts here.
struct Account
{
    int slot = 0;
    QString name;
    QString host;
    qint32 port = 110;
    TSecurity security = TSecurity::None;
    // The security as stored, and whether it was understood: an unknown
    // choice is taken as SSL/TLS, the safe one.
    QString securityText;
    bool knownSecurity = true;
    TCertificateTrust trust;
    QString userId;
    QString password;
    // A password, or an OAuth2 token in its place (XOAUTH2 or OAUTHBEARER).
    enum class LogOn
    {
        Password,
        OAuth2
    };
    LogOn logOn = LogOn::Password;
    OAuthSettings oauth;
    // The account's name in the keyring, where its password and its OAuth2
    // refresh token are kept.
    QString keyringName;

    static Account fromSlot(const Variabel& V, int n);
    // The client's host, port, security, trust and credentials for this account.
    void applyTo(TPop3Client& client) const;
};
