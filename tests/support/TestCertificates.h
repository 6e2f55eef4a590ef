#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>

// Certificates made at test time with the openssl command: a test authority,
// a server certificate it signed for 127.0.0.1, and two unrelated
// self-signed ones for the same address. Made once per test program.
class TestCertificates
{
public:
    struct Identity
    {
        QString certificateFile;
        QString keyFile;
        QSslCertificate certificate;
        QSslKey key;
    };

    static const TestCertificates& instance();

    bool isValid() const { return m_valid; }
    QString errorString() const { return m_error; }

    const QSslCertificate& authority() const { return m_authority; }
    const Identity& signedByAuthority() const { return m_signed; }
    const Identity& selfSigned() const { return m_selfSigned; }
    const Identity& otherSelfSigned() const { return m_otherSelfSigned; }
    // Self-signed with an RSA key of 1024 bits, too short to be trusted.
    const Identity& weakRsa() const { return m_weakRsa; }

private:
    TestCertificates();
    bool openssl(const QStringList& arguments);
    bool makeSelfSigned(const QString& name, Identity& identity);
    bool load(const QString& name, Identity& identity, QSsl::KeyAlgorithm algorithm = QSsl::Ec);
    QString path(const QString& name) const { return m_dir.path() + u'/' + name; }

    QTemporaryDir m_dir;
    QSslCertificate m_authority;
    Identity m_signed;
    Identity m_selfSigned;
    Identity m_otherSelfSigned;
    Identity m_weakRsa;
    QString m_error;
    bool m_valid = false;
};
