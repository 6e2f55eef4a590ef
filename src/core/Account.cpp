#include "Account.h"

#include "PasswordKeeper.h"
#include "Variabel.h"

Account Account::fromSlot(const Variabel& V, int n)
{
    Account account;
    account.slot = n;
    account.name = V.Konto[n];
    account.host = V.Host[n];
    account.port = V.Port[n];
    account.securityText = V.Sicherheit[n];
    account.knownSecurity = Variabel::knownSecurity(V.Sicherheit[n]);
    const QString security = Variabel::securityChoice(V.Sicherheit[n]);
    account.security = security == Variabel::SecurityTls        ? TSecurity::Tls
                       : security == Variabel::SecurityStartTls ? TSecurity::StartTls
                                                                : TSecurity::None;
    account.trust = V.certificateTrust(n);
    account.userId = V.UserID[n];
    account.password = V.Passwort[n];
    account.logOn = V.usesOAuth2(n) ? LogOn::OAuth2 : LogOn::Password;
    account.oauth = OAuthSettings::of(V.OAuthAnbieter[n], V.OAuthAutorisierung[n], V.OAuthToken[n], V.OAuthClient[n],
                                      V.OAuthScope[n]);
    account.keyringName = PasswordKeeper::accountName(V, n);
    return account;
}

void Account::applyTo(TPop3Client& client) const
{
    client.Host = host;
    client.Port = port;
    client.Security = security;
    client.Trusted = trust;
    client.UserID = userId;
    // No password travels for an account that logs on with a token.
    client.Password = logOn == LogOn::OAuth2 ? QString() : password;
    client.OAuthToken.clear();
}
