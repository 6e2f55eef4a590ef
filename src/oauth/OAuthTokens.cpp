#include "OAuthTokens.h"

namespace {

// A token that expires within this many seconds is renewed before the log-on,
// so it does not run out between the request and the server's check.
constexpr int kMarginSeconds = 60;

} // namespace

OAuthTokens& OAuthTokens::instance()
{
    static OAuthTokens tokens;
    return tokens;
}

QString OAuthTokens::access(const QString& key, const QDateTime& now) const
{
    const auto found = m_access.constFind(key);
    if (found == m_access.cend())
        return {};
    if (found->expiry.isValid() && found->expiry.addSecs(-kMarginSeconds) <= now)
        return {};
    return found->token;
}

void OAuthTokens::setAccess(const QString& key, const QString& token, const QDateTime& expiry)
{
    m_access.insert(key, {token, expiry});
}

void OAuthTokens::dropAccess(const QString& key)
{
    m_access.remove(key);
}

void OAuthTokens::clear()
{
    m_access.clear();
    m_refresh.clear();
}
