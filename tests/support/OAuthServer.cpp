#include "OAuthServer.h"

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace {

QString python()
{
    return QStandardPaths::findExecutable(u"python3"_s);
}

QString supportFile(const QString& name)
{
    return QStringLiteral(POSTRELLA_TEST_SUPPORT) + u'/' + name;
}

} // namespace

OAuthServer::OAuthServer() = default;

OAuthServer::~OAuthServer()
{
    stop();
}

bool OAuthServer::isAvailable()
{
    return !python().isEmpty();
}

QString OAuthServer::browserScript()
{
    return supportFile(u"scripted_browser.py"_s);
}

bool OAuthServer::start()
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(python(), {supportFile(u"oauth_server.py"_s), u"--user"_s, QString::fromUtf8(m_user),
                               u"--client-id"_s, QString::fromUtf8(m_clientId)});
    if (!m_process.waitForStarted(5000)) {
        m_error = u"the token server does not start: "_s + m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(15000);
    while (!m_process.canReadLine() && !deadline.hasExpired() && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(int(deadline.remainingTime()));
    bool ok = false;
    const int port = m_process.canReadLine() ? m_process.readLine().trimmed().toInt(&ok) : 0;
    if (!ok || port <= 0 || port > 65535) {
        m_error = u"the token server gave no port: "_s + QString::fromUtf8(m_process.readAllStandardError());
        stop();
        return false;
    }
    m_port = quint16(port);
    return true;
}

void OAuthServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // The server ends when its input closes; the kill is only for one that hangs.
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QUrl OAuthServer::url(const QString& path) const
{
    QUrl url;
    url.setScheme(u"http"_s);
    url.setHost(u"127.0.0.1"_s);
    url.setPort(m_port);
    url.setPath(path);
    return url;
}

QByteArray OAuthServer::get(const QString& path, const QUrlQuery& query)
{
    QUrl target = url(path);
    target.setQuery(query);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("GET " + target.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority) +
                 " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    // HTTP/1.0: the server closes once the answer is complete.
    QByteArray answer;
    const QDeadlineTimer deadline(10000);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(deadline.remainingTime()));
        answer += socket.readAll();
    }
    answer += socket.readAll();
    const qsizetype bodyStart = answer.indexOf("\r\n\r\n");
    if (!answer.startsWith("HTTP/") || bodyStart < 0)
        return {};
    return answer.mid(bodyStart + 4);
}

QJsonDocument OAuthServer::control(const QString& path, const QUrlQuery& query)
{
    return QJsonDocument::fromJson(get(u"/control/"_s + path, query));
}

OAuthServer::Tokens OAuthServer::issue()
{
    const QJsonObject body = control(u"issue"_s).object();
    return {body.value(u"access_token"_s).toString(), body.value(u"refresh_token"_s).toString()};
}

void OAuthServer::revokeRefresh()
{
    control(u"revoke-refresh"_s);
}

void OAuthServer::expireAccess()
{
    control(u"expire-access"_s);
}

void OAuthServer::setDeny(bool deny)
{
    control(u"mode"_s, QUrlQuery{{u"deny"_s, deny ? u"1"_s : u"0"_s}});
}

void OAuthServer::setStall(bool stall)
{
    control(u"mode"_s, QUrlQuery{{u"stall"_s, stall ? u"1"_s : u"0"_s}});
}

void OAuthServer::setExpiresIn(int seconds)
{
    control(u"mode"_s, QUrlQuery{{u"expires_in"_s, QString::number(seconds)}});
}

QJsonArray OAuthServer::requests()
{
    return control(u"log"_s).array();
}

QJsonArray OAuthServer::requests(const QString& path)
{
    QJsonArray matching;
    for (const QJsonValue& entry : requests()) {
        if (entry.toObject().value(u"path"_s).toString() == path)
            matching.append(entry);
    }
    return matching;
}
