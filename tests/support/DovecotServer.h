#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A private Dovecot POP3 server on 127.0.0.1 for one test: its own
// configuration, password file, logs and Maildir in a temporary folder.
// Fill the mailbox with addMessage() (before or after start()), log on as
// user() / password().
class DovecotServer
{
public:
    DovecotServer();
    ~DovecotServer();

    // Whether the dovecot binary is installed; tests skip only when it is not.
    static bool isAvailable();
    static QString binary();

    enum class Tls
    {
        Off,      // plain POP3 only
        On,       // STLS on the plain listener and TLS on the pop3s one
        Required, // as On, and a log-on in the clear is refused
    };
    // Call before start(); the files are PEM.
    void setTls(Tls mode, const QString& certificateFile, const QString& keyFile);
    // Log-on with OAuth2 bearer tokens only, checked by the token server's
    // introspection; the password of user() is refused then. Mechanisms as
    // in auth_mechanisms. Call before start(), with TLS on.
    void setOAuth2(const QString& introspectionUrl, const QByteArray& mechanisms = "xoauth2 oauthbearer");

    // Starts the server and waits until it accepts connections. On failure the
    // reason, with the server's log, is in errorString().
    bool start();
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    quint16 port() const { return m_port; }
    // The pop3s listener (TLS from the first byte); 0 without TLS.
    quint16 tlsPort() const { return m_tlsPort; }
    QByteArray host() const { return "127.0.0.1"; }
    QByteArray user() const { return "test"; }
    QByteArray password() const { return "secret"; }

    // Puts a message into the mailbox as the server will list it: line ends are
    // stored as LF, Dovecot sends CR LF.
    void addMessage(const QByteArray& message);
    // Messages currently stored in the Maildir (deletions happen at QUIT).
    int storedMessageCount() const;

    QString errorString() const { return m_error; }
    QString log() const;

private:
    QString path(const QString& relative) const;
    bool writeConfiguration();
    QByteArray tlsConfiguration() const;
    QByteArray authConfiguration() const;
    void prepareMaildir();

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    Tls m_tls = Tls::Off;
    QString m_certificateFile;
    QString m_keyFile;
    QString m_introspectionUrl;
    QByteArray m_mechanisms;
    int m_added = 0;
    QString m_error;
};
