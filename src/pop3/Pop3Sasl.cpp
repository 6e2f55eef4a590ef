// The OAuth2 log-on: AUTH with the token instead of USER and PASS, the
// server's continuations and its verdict.
#include "Pop3Sasl.h"

#include "AnsiText.h"
#include "Pop3Client.h"
#include "Pop3Reply.h"

using namespace Qt::StringLiterals;

namespace {

const QString kAuthenticationFailed = u"Die Authentifizierung ist fehlgeschlagen"_s;
const QString kNoOAuth = u"Der Server bietet keine Anmeldung mit OAuth2 an."_s;
const QString kNeedsTls =
    u"Die Anmeldung mit OAuth2 ist nur über eine verschlüsselte Verbindung (SSL/TLS oder STARTTLS) möglich."_s;

// A server that keeps challenging after the exchange is over is cancelled,
// then dropped.
constexpr int kCancelAfter = 2;
constexpr int kDropAfter = 3;

bool hasControl(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// RFC 5801: "," and "=" in the authorization identity are written =2C and =3D.
QByteArray saslName(const QString& user)
{
    QByteArray name = user.toUtf8();
    name.replace("=", "=3D");
    name.replace(",", "=2C");
    return name;
}

} // namespace

namespace Pop3Sasl {

QByteArray chooseMechanism(const QList<QByteArray>& capabilities)
{
    bool bearer = false;
    for (const QByteArray& entry : capabilities) {
        const QList<QByteArray> words = entry.simplified().split(' ');
        if (words.value(0).compare("SASL", Qt::CaseInsensitive) != 0)
            continue;
        for (qsizetype i = 1; i < words.size(); ++i) {
            if (words.at(i).compare("XOAUTH2", Qt::CaseInsensitive) == 0)
                return "XOAUTH2";
            bearer = bearer || words.at(i).compare("OAUTHBEARER", Qt::CaseInsensitive) == 0;
        }
    }
    return bearer ? "OAUTHBEARER" : QByteArray();
}

QByteArray initialResponse(QByteArrayView mechanism, const QString& user, const QString& host, int port,
                           const QString& token)
{
    const QByteArray bearer = "auth=Bearer " + token.toLatin1() + "\x01\x01";
    if (mechanism == "XOAUTH2")
        return QByteArray("user=" + user.toUtf8() + '\x01' + bearer).toBase64();
    return QByteArray("n,a=" + saslName(user) + ",\x01host=" + host.toUtf8() + "\x01port=" + QByteArray::number(port) +
                      '\x01' + bearer)
        .toBase64();
}

QByteArray errorAnswer(QByteArrayView mechanism)
{
    return mechanism == "OAUTHBEARER" ? QByteArray("AQ==") : QByteArray();
}

bool isContinuation(QByteArrayView line)
{
    return line.startsWith('+') && Pop3Reply::status(line) != Pop3Reply::Status::Positive;
}

QString unusable(const QString& user, const QString& token)
{
    if (hasControl(user))
        return u"Der Benutzername enthält Steuerzeichen."_s;
    // RFC 6750: a bearer token is printable ASCII without blanks.
    for (const QChar c : token) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f)
            return u"Das Zugangs-Token enthält unzulässige Zeichen."_s;
    }
    return {};
}

} // namespace Pop3Sasl

QString TPop3Client::oauthRefusal() const
{
    if (OAuthToken.isEmpty())
        return {};
    // The token is as good as the password: it never travels in the clear.
    if (Security == TSecurity::None)
        return kNeedsTls;
    return Pop3Sasl::unusable(UserID, OAuthToken);
}

void TPop3Client::sendAuth()
{
    if (const QString refusal = oauthRefusal(); !refusal.isEmpty())
        throw Exception(refusal);
    m_authMechanism = Pop3Sasl::chooseMechanism(m_capabilities);
    if (m_authMechanism.isEmpty())
        throw Exception(kNoOAuth);
    m_authResponse = Pop3Sasl::initialResponse(m_authMechanism, UserID, Host, Port, OAuthToken);
    m_authContinuations = 0;
    setState(TPop3State::Authenticating);
    postCommands({"AUTH " + m_authMechanism + ' ' + m_authResponse});
}

void TPop3Client::authContinued(const QByteArray& Line)
{
    ++m_authContinuations;
    if (m_authContinuations > kDropAfter)
        outOfStep("AUTH " + m_authMechanism, Line);
    const QByteArray payload = Pop3Reply::withoutLineEnd(Line).sliced(1).trimmed().toByteArray();
    QByteArray answer;
    if (m_stopping || m_authContinuations > kCancelAfter) {
        answer = "*";
    } else if (payload.isEmpty() && m_authContinuations == 1) {
        // The server took no initial response and asks for it now.
        answer = m_authResponse;
    } else {
        // The reasons of the refusal (RFC 7628: JSON with status and scope);
        // the -ERR follows the answer.
        ReportStatus(1, u"+ "_s + AnsiText::fromAnsi(QByteArray::fromBase64(payload).left(512)));
        answer = Pop3Sasl::errorAnswer(m_authMechanism);
    }
    Post(answer + "\r\n");
}

void TPop3Client::authReplied(const QByteArray& Reply)
{
    if (IsPositive(Reply)) {
        setState(TPop3State::Stat);
        postCommands({"STAT"});
        return;
    }
    if (m_tokenTries > 0)
        throw Exception(kAuthenticationFailed);
    ++m_tokenTries;
    setState(TPop3State::AwaitingToken);
    deliver([this] { emit tokenAsked(); });
}

void TPop3Client::AnswerToken(const QString& token)
{
    if (m_state != TPop3State::AwaitingToken)
        return;
    try {
        if (token.isEmpty())
            throw Exception(kAuthenticationFailed);
        OAuthToken = token;
        sendAuth();
        advance();
    } catch (...) {
        failSoon(std::current_exception());
    }
}
