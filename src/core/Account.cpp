#include "Account.h"

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
    return account;
}

void Account::applyTo(TPop3Client& client) const
{
    client.Host = host;
    client.Port = port;
    client.Security = security;
    client.Trusted = trust;
    client.UserID = userId;
    client.Password = password;
}
