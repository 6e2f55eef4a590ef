#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Where and as whom an account asks for its OAuth2 tokens: the provider's
// endpoints, the program's client id there and the scope of the mailbox.
struct OAuthSettings
{
    static const QString Microsoft;
    static const QString Google;
    static const QString Own; // "Eigener": every value from the account's settings
    static QStringList Providers();
    // The choices as the interface shows them; stored as above.
    static QString providerShown(const QString& stored);
    static QString providerFromShown(const QString& shown);
    static QStringList ProvidersShown();

    QString provider;
    QUrl authorizationUrl;
    QUrl tokenUrl;
    QString clientId;
    QString scope;

    // The provider's values; for Microsoft and Google a client id given in
    // the settings replaces the one built in. An empty provider is Microsoft.
    static OAuthSettings of(const QString& provider, const QString& authorizationUrl, const QString& tokenUrl,
                            const QString& clientId, const QString& scope);
    // Why no token can be asked for with these settings, in the user's
    // words; empty when one can.
    QString problem() const;
};
