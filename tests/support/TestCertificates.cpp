#include "TestCertificates.h"

#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace {

const QStringList kEcKey = {u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s};

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

const TestCertificates& TestCertificates::instance()
{
    static const TestCertificates certificates;
    return certificates;
}

bool TestCertificates::openssl(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(u"openssl"_s, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = u"openssl "_s + arguments.join(u' ') + u": "_s + process.errorString() + u' ' +
                  QString::fromUtf8(process.readAll());
        return false;
    }
    return true;
}

bool TestCertificates::load(const QString& name, Identity& identity, QSsl::KeyAlgorithm algorithm)
{
    identity.certificateFile = path(name + u".pem"_s);
    identity.keyFile = path(name + u".key"_s);
    identity.certificate = QSslCertificate(readFile(identity.certificateFile));
    identity.key = QSslKey(readFile(identity.keyFile), algorithm);
    if (identity.certificate.isNull() || identity.key.isNull()) {
        m_error = u"cannot load "_s + name;
        return false;
    }
    return true;
}

bool TestCertificates::makeSelfSigned(const QString& name, Identity& identity)
{
    return openssl(QStringList{u"req"_s, u"-x509"_s} + kEcKey +
                   QStringList{u"-keyout"_s, path(name + u".key"_s), u"-out"_s, path(name + u".pem"_s), u"-days"_s,
                               u"2"_s, u"-subj"_s, u"/CN=127.0.0.1/O="_s + name, u"-addext"_s,
                               u"subjectAltName=IP:127.0.0.1"_s}) &&
           load(name, identity);
}

TestCertificates::TestCertificates()
{
    if (!m_dir.isValid()) {
        m_error = u"no temporary folder"_s;
        return;
    }
    QFile extensions(path(u"server.ext"_s));
    if (!extensions.open(QIODevice::WriteOnly)) {
        m_error = u"cannot write the extensions"_s;
        return;
    }
    extensions.write("subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
    extensions.close();
    m_valid =
        openssl(QStringList{u"req"_s, u"-x509"_s} + kEcKey +
                QStringList{u"-keyout"_s, path(u"ca.key"_s), u"-out"_s, path(u"ca.pem"_s), u"-days"_s, u"2"_s,
                            u"-subj"_s, u"/CN=Postrella Test CA"_s, u"-addext"_s,
                            u"basicConstraints=critical,CA:TRUE"_s, u"-addext"_s,
                            u"keyUsage=critical,keyCertSign,cRLSign"_s}) &&
        openssl(QStringList{u"req"_s} + kEcKey +
                QStringList{u"-keyout"_s, path(u"server.key"_s), u"-out"_s, path(u"server.csr"_s), u"-subj"_s,
                            u"/CN=127.0.0.1"_s}) &&
        openssl({u"x509"_s, u"-req"_s, u"-in"_s, path(u"server.csr"_s), u"-CA"_s, path(u"ca.pem"_s), u"-CAkey"_s,
                 path(u"ca.key"_s), u"-CAcreateserial"_s, u"-out"_s, path(u"server.pem"_s), u"-days"_s, u"2"_s,
                 u"-extfile"_s, path(u"server.ext"_s)}) &&
        load(u"server"_s, m_signed) && makeSelfSigned(u"self"_s, m_selfSigned) &&
        makeSelfSigned(u"other"_s, m_otherSelfSigned) &&
        openssl({u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:1024"_s, u"-nodes"_s, u"-keyout"_s, path(u"weak.key"_s),
                 u"-out"_s, path(u"weak.pem"_s), u"-days"_s, u"2"_s, u"-subj"_s, u"/CN=127.0.0.1"_s}) &&
        load(u"weak"_s, m_weakRsa, QSsl::Rsa);
    m_authority = QSslCertificate(readFile(path(u"ca.pem"_s)));
    if (m_valid && m_authority.isNull()) {
        m_error = u"cannot load the authority"_s;
        m_valid = false;
    }
}
