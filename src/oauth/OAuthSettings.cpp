#include "OAuthSettings.h"

#include "UiLanguage.h"

using namespace Qt::StringLiterals;

const QString OAuthSettings::Microsoft = u"Microsoft"_s;
const QString OAuthSettings::Google = u"Google"_s;
const QString OAuthSettings::Own = u"Eigener"_s;

QStringList OAuthSettings::Providers()
{
    return {Microsoft, Google, Own};
}

QString OAuthSettings::providerShown(const QString& stored)
{
    return stored == Own ? byLanguage(Own, u"Custom"_s) : stored;
}

QString OAuthSettings::providerFromShown(const QString& shown)
{
    return shown == providerShown(Own) ? Own : shown;
}

QStringList OAuthSettings::ProvidersShown()
{
    return {Microsoft, Google, providerShown(Own)};
}

OAuthSettings OAuthSettings::of(const QString& provider, const QString& authorizationUrl, const QString& tokenUrl,
                                const QString& clientId, const QString& scope)
{
    OAuthSettings settings;
    settings.provider = provider.isEmpty() ? Microsoft : provider;
    const QString ownClient = clientId.trimmed();
    if (settings.provider == Microsoft) {
        settings.authorizationUrl = QUrl(u"https://login.microsoftonline.com/common/oauth2/v2.0/authorize"_s);
        settings.tokenUrl = QUrl(u"https://login.microsoftonline.com/common/oauth2/v2.0/token"_s);
        settings.scope = u"https://outlook.office.com/POP.AccessAsUser.All offline_access"_s;
        settings.clientId = ownClient.isEmpty() ? QStringLiteral(POSTRELLA_OAUTH_MICROSOFT_CLIENT_ID) : ownClient;
    } else if (settings.provider == Google) {
        settings.authorizationUrl = QUrl(u"https://accounts.google.com/o/oauth2/v2/auth"_s);
        settings.tokenUrl = QUrl(u"https://oauth2.googleapis.com/token"_s);
        settings.scope = u"https://mail.google.com/"_s;
        settings.clientId = ownClient.isEmpty() ? QStringLiteral(POSTRELLA_OAUTH_GOOGLE_CLIENT_ID) : ownClient;
    } else {
        settings.authorizationUrl = QUrl(authorizationUrl.trimmed());
        settings.tokenUrl = QUrl(tokenUrl.trimmed());
        settings.scope = scope.trimmed();
        settings.clientId = ownClient;
    }
    return settings;
}

namespace {

// The code and the tokens travel in these requests: in the clear only to
// this machine.
bool safeEndpoint(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == u"https"_s)
        return true;
    const QString host = url.host();
    return url.scheme() == u"http"_s && (host == u"127.0.0.1"_s || host == u"localhost"_s || host == u"::1"_s);
}

} // namespace

QString OAuthSettings::problem() const
{
    if (!Providers().contains(provider))
        return byLanguage(
                   u"Der OAuth2-Anbieter \"%1\" ist unbekannt. Wählen Sie in den Einstellungen "
                   u"Microsoft, Google oder Eigener."_s,
                   u"The OAuth2 provider \"%1\" is unknown. Choose Microsoft, Google or Custom in the settings."_s)
            .arg(provider);
    if (clientId.isEmpty() && provider == Own)
        return byLanguage(
            u"Für das Konto ist keine OAuth2-Client-ID eingetragen. Tragen Sie sie in den Einstellungen ein."_s,
            u"No OAuth2 client id is entered for the account. Enter it in the settings."_s);
    if (clientId.isEmpty())
        return byLanguage(u"In dieses Postrella ist keine Client-ID für %1 eingebaut. Tragen Sie in den "
                          u"Einstellungen eine Client-ID ein."_s,
                          u"This Postrella has no client id for %1 built in. Enter a client id in the settings."_s)
            .arg(provider);
    if (!safeEndpoint(authorizationUrl))
        return byLanguage(u"Die OAuth2-Autorisierungsadresse \"%1\" ist keine gültige https-Adresse."_s,
                          u"The OAuth2 authorization address \"%1\" is no valid https address."_s)
            .arg(authorizationUrl.toString());
    if (!safeEndpoint(tokenUrl))
        return byLanguage(u"Die OAuth2-Token-Adresse \"%1\" ist keine gültige https-Adresse."_s,
                          u"The OAuth2 token address \"%1\" is no valid https address."_s)
            .arg(tokenUrl.toString());
    return {};
}
