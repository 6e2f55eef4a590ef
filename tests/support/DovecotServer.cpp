#include "DovecotServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr auto kOwnerRwx = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr auto kAllRx = kOwnerRwx | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

// The mail processes run as the "mail" user, which must own the Maildir.
void giveToMail(const QString& path)
{
    if (const passwd* pw = getpwnam("mail"); pw && geteuid() == 0) {
        const int rc = chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid);
        Q_UNUSED(rc) // a Maildir the server cannot use shows in its log
    }
}

} // namespace

DovecotServer::DovecotServer()
{
    m_dir.setAutoRemove(true);
}

DovecotServer::~DovecotServer()
{
    stop();
}

QString DovecotServer::binary()
{
    QString found = QStandardPaths::findExecutable(u"dovecot"_s);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(u"dovecot"_s, {u"/usr/sbin"_s, u"/usr/local/sbin"_s, u"/sbin"_s});
    return found;
}

bool DovecotServer::isAvailable()
{
    return !binary().isEmpty();
}

QString DovecotServer::path(const QString& relative) const
{
    return m_dir.path() + u'/' + relative;
}

QString DovecotServer::log() const
{
    QFile file(path(u"dovecot.log"_s));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void DovecotServer::prepareMaildir()
{
    const QString maildir = path(u"mail/test/Maildir"_s);
    for (const QString& sub : {u"new"_s, u"cur"_s, u"tmp"_s}) {
        QDir().mkpath(maildir + u'/' + sub);
        giveToMail(maildir + u'/' + sub);
    }
    giveToMail(path(u"mail/test"_s));
    giveToMail(maildir);
}

void DovecotServer::addMessage(const QByteArray& message)
{
    prepareMaildir();
    const QString maildir = path(u"mail/test/Maildir"_s);
    QByteArray stored = message;
    stored.replace("\r\n", "\n");
    ++m_added;
    // Maildir names sort in delivery order, which is the order POP3 numbers them.
    const QString name = maildir + u"/new/"_s + QString::number(1000000 + m_added) + u".postrella"_s;
    QFile file(name);
    if (file.open(QIODevice::WriteOnly))
        file.write(stored);
    file.close();
    giveToMail(name);
}

int DovecotServer::storedMessageCount() const
{
    const QString maildir = path(u"mail/test/Maildir"_s);
    return int(QDir(maildir + u"/new"_s).entryList(QDir::Files).size() +
               QDir(maildir + u"/cur"_s).entryList(QDir::Files).size());
}

void DovecotServer::setTls(Tls mode, const QString& certificateFile, const QString& keyFile)
{
    m_tls = mode;
    m_certificateFile = certificateFile;
    m_keyFile = keyFile;
}

QByteArray DovecotServer::tlsConfiguration() const
{
    if (m_tls == Tls::Off)
        return "ssl = no\ndisable_plaintext_auth = no\n";
    QByteArray conf = m_tls == Tls::Required ? "ssl = required\n" : "ssl = yes\ndisable_plaintext_auth = no\n";
    conf += "ssl_cert = <" + QFile::encodeName(m_certificateFile) + "\nssl_key = <" + QFile::encodeName(m_keyFile) +
            "\nssl_min_protocol = TLSv1.2\n";
    if (QFile::exists(u"/usr/share/dovecot/dh.pem"_s))
        conf += "ssl_dh = </usr/share/dovecot/dh.pem\n";
    return conf;
}

void DovecotServer::setOAuth2(const QString& introspectionUrl, const QByteArray& mechanisms)
{
    m_introspectionUrl = introspectionUrl;
    m_mechanisms = mechanisms;
}

QByteArray DovecotServer::authConfiguration() const
{
    const QByteArray r = QFile::encodeName(m_dir.path());
    if (m_introspectionUrl.isEmpty())
        return "auth_mechanisms = plain\n"
               "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u " +
               r + "/passwd\n}\n";
    return "auth_mechanisms = " + m_mechanisms + "\npassdb {\n  driver = oauth2\n  args = " + r +
           "/dovecot-oauth2.conf.ext\n}\n";
}

bool DovecotServer::writeConfiguration()
{
    const QString root = m_dir.path();
    QFile::setPermissions(root, kAllRx);
    for (const QString& sub : {u"run"_s, u"state"_s, u"mail"_s}) {
        QDir().mkpath(path(sub));
        QFile::setPermissions(path(sub), kAllRx);
    }
    QFile passwd(path(u"passwd"_s));
    if (!passwd.open(QIODevice::WriteOnly))
        return false;
    passwd.write(user() + ":{PLAIN}" + password() + '\n');
    passwd.close();
    QFile::setPermissions(passwd.fileName(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (!m_introspectionUrl.isEmpty()) {
        QFile oauth(path(u"dovecot-oauth2.conf.ext"_s));
        if (!oauth.open(QIODevice::WriteOnly))
            return false;
        oauth.write("introspection_url = " + m_introspectionUrl.toUtf8() +
                    "\nintrospection_mode = post\nusername_attribute = username\n"
                    "active_attribute = active\nactive_value = true\n");
        oauth.close();
        QFile::setPermissions(oauth.fileName(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }

    const QByteArray r = QFile::encodeName(root);
    const QByteArray conf = "protocols = pop3\n"
                            "listen = 127.0.0.1\n"
                            "base_dir = " +
                            r +
                            "/run\n"
                            "state_dir = " +
                            r +
                            "/state\n"
                            "log_path = " +
                            r + "/dovecot.log\n" + tlsConfiguration() + authConfiguration() +
                            "mail_location = maildir:" + r +
                            "/mail/%u/Maildir\n"
                            "userdb {\n  driver = static\n  args = uid=mail gid=mail home=" +
                            r +
                            "/mail/%u\n}\n"
                            "first_valid_uid = 1\n"
                            "auth_failure_delay = 0\n"
                            "service pop3-login {\n"
                            "  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " +
                            QByteArray::number(m_port) +
                            "\n  }\n"
                            "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " +
                            QByteArray::number(m_tlsPort) +
                            "\n  }\n"
                            "}\n"
                            "service imap-login {\n  inet_listener imap {\n    port = 0\n  }\n}\n";
    QFile file(path(u"dovecot.conf"_s));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(conf);
    return true;
}

bool DovecotServer::start()
{
    if (!m_dir.isValid()) {
        m_error = u"no temporary folder"_s;
        return false;
    }
    m_port = freePort();
    m_tlsPort = m_tls == Tls::Off ? 0 : freePort();
    // Two probes in a row may be handed the same port.
    while (m_tls != Tls::Off && m_tlsPort == m_port)
        m_tlsPort = freePort();
    if (m_port == 0 || !writeConfiguration()) {
        m_error = u"cannot prepare the configuration in "_s + m_dir.path();
        return false;
    }
    prepareMaildir();

    // In the foreground, so the test owns the master process and waits for its end.
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(binary(), {u"-F"_s, u"-c"_s, path(u"dovecot.conf"_s)});
    if (!m_process.waitForStarted(5000)) {
        m_error = u"dovecot does not start: "_s + m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(1000) && probe.waitForReadyRead(2000) && probe.readLine().startsWith("+OK")) {
            probe.abort();
            return true;
        }
        // Refused: not listening yet. Wait a little for the process, which also
        // notices at once when dovecot gave up.
        if (m_process.waitForFinished(25))
            break;
    }
    m_error = u"dovecot did not come up on port "_s + QString::number(m_port) + u"; output: "_s +
              QString::fromUtf8(m_process.readAll()) + u"; log: "_s + log();
    stop();
    return false;
}

void DovecotServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
