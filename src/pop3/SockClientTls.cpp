// The TLS half of the socket client: the handshake, the certificate check
// and what the connection tells about its encryption.
#include "SockWaitScope.h"
#include "UiLanguage.h"

#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>

using namespace Qt::StringLiterals;

QString TSockClient::Fingerprint(const QSslCertificate& Certificate)
{
    return QString::fromLatin1(Certificate.digest(QCryptographicHash::Sha256).toHex());
}

bool TSockClient::Encrypted() const
{
    return m_connected && m_socket && m_socket->isEncrypted();
}

QString TSockClient::EncryptionText() const
{
    if (!Encrypted())
        return {};
    // The session's protocol: the cipher's own names the protocol version that
    // introduced the cipher ("SSLv3" on a TLS 1.2 session).
    QString protocol;
    switch (m_socket->sessionProtocol()) {
    case QSsl::TlsV1_2:
        protocol = u"TLSv1.2"_s;
        break;
    case QSsl::TlsV1_3:
        protocol = u"TLSv1.3"_s;
        break;
    default:
        protocol = u"TLS"_s;
        break;
    }
    return protocol + u", "_s + m_socket->sessionCipher().name();
}

void TSockClient::sslErrors(const QList<QSslError>& errors)
{
    m_sslErrors = errors;
    m_sslPaused = true;
    wake();
    // The question is asked outside the socket's notification.
    if (m_phase == Phase::Handshake)
        QTimer::singleShot(0, this, [this] { SockDetail::guarded([this] { tlsPaused(); }); });
}

bool TSockClient::judgeCertificate(TCertificateInfo& info)
{
    const QSslCertificate certificate = socket()->peerCertificate();
    if (certificate.isNull())
        failHandshake(byLanguage(u"Dem Zertifikat des Servers wird nicht vertraut, Verbindung abgebrochen"_s,
                                 u"The server's certificate is not trusted, connection aborted"_s));
    const QString weak = CertificateTrust::weakKeyReason(certificate);
    if (!weak.isEmpty())
        failHandshake(weak + byLanguage(u" Verbindung abgebrochen"_s, u" Connection aborted"_s));
    const QString fingerprint = Fingerprint(certificate);
    const QString server = CertificateTrust::serverOf(Host, Port);
    const CertificateTrust::Verdict verdict = CertificateTrust::judge(Trusted, fingerprint, server, m_sslErrors);
    if (verdict.trusted)
        return false;
    for (const QSslError& error : std::as_const(m_sslErrors)) {
        const QString reason = CertificateTrust::reasonText(error);
        if (!info.Reasons.contains(reason))
            info.Reasons.append(reason);
    }
    info.Subject = certificate.subjectDisplayName();
    info.Issuer = certificate.issuerDisplayName();
    info.ValidFrom = certificate.effectiveDate();
    info.ValidUntil = certificate.expiryDate();
    info.Fingerprint = fingerprint;
    info.Changed = verdict.changed;
    info.NewReasons = verdict.newReasons;
    info.Server = server;
    info.Errors = CertificateTrust::errorCodes(m_sslErrors);
    return true;
}

void TSockClient::failHandshake(const QString& reason)
{
    if (m_connected || socket()->state() != QAbstractSocket::UnconnectedState)
        CloseSocket();
    throw ESockError(reason);
}

void TSockClient::BeginTls(TStepDone Done, std::function<void(const TCertificateInfo&)> Ask)
{
    ReportStatus(4, u"TLS-Handshake"_s);
    m_stepDone = std::move(Done);
    m_askTrust = std::move(Ask);
    std::exception_ptr failure;
    try {
        if (socket()->state() != QAbstractSocket::ConnectedState)
            raiseSocketError(WinSock::NotConnected);
        // Bytes the server sent in the clear before the handshake would later be
        // read as if they had come encrypted.
        if (socket()->bytesAvailable() > 0)
            failHandshake(byLanguage(u"Unverschlüsselte Daten vor dem TLS-Handshake, Verbindung getrennt"_s,
                                     u"Unencrypted data before the TLS handshake, connection closed"_s));
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        m_phase = Phase::Starting;
        QTimer::singleShot(0, this, [this, failure] {
            SockDetail::guarded([&] {
                if (m_phase == Phase::Starting)
                    finishStep(failure);
            });
        });
        return;
    }

    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setProtocol(QSsl::TlsV1_2OrLater);
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!ExtraAuthorities.isEmpty())
        config.setCaCertificates(QSslConfiguration::systemCaCertificates() + ExtraAuthorities);
    socket()->setSslConfiguration(config);
    socket()->setPeerVerifyName(Host);
    // Errors accepted on an earlier connection must not carry over.
    socket()->ignoreSslErrors(QList<QSslError>{});
    m_sslErrors.clear();
    m_sslPaused = false;
    m_encrypted = false;
    m_succeeded = true;
    m_phase = Phase::Handshake;
    StartTimeOut();
    socket()->startClientEncryption();
}

void TSockClient::tlsPaused()
{
    if (m_phase != Phase::Handshake || !m_sslPaused)
        return;
    m_sslPaused = false;
    TCertificateInfo info;
    try {
        if (!judgeCertificate(info)) {
            socket()->ignoreSslErrors(m_sslErrors);
            socket()->resume();
            return;
        }
        if (!m_askTrust)
            failHandshake(byLanguage(u"Dem Zertifikat des Servers wird nicht vertraut, Verbindung abgebrochen"_s,
                                     u"The server's certificate is not trusted, connection aborted"_s));
    } catch (...) {
        finishStep(std::current_exception());
        return;
    }
    // The user may take as long as needed to decide: no time-out runs
    // meanwhile, and the rest of the handshake gets a time-out of its own.
    m_phase = Phase::TrustPause;
    StopTimeOut();
    m_askTrust(info);
}

void TSockClient::ContinueTls(bool Accept)
{
    if (m_phase != Phase::TrustPause)
        return;
    if (!Accept) {
        try {
            failHandshake(byLanguage(u"Dem Zertifikat des Servers wird nicht vertraut, Verbindung abgebrochen"_s,
                                     u"The server's certificate is not trusted, connection aborted"_s));
        } catch (...) {
            finishStep(std::current_exception());
        }
        return;
    }
    m_phase = Phase::Handshake;
    StartTimeOut();
    socket()->ignoreSslErrors(m_sslErrors);
    socket()->resume();
}

void TSockClient::tlsEncrypted()
{
    try {
        // A verified certificate with a weak key is refused all the same.
        const QString weak = CertificateTrust::weakKeyReason(socket()->peerCertificate());
        if (!weak.isEmpty())
            failHandshake(weak + byLanguage(u" Verbindung abgebrochen"_s, u" Connection aborted"_s));
    } catch (...) {
        finishStep(std::current_exception());
        return;
    }
    ReportStatus(1, byLanguage(u"Verschlüsselt: "_s, u"Encrypted: "_s) + EncryptionText());
    finishStep(nullptr);
}

void TSockClient::StartTls()
{
    bool done = false;
    std::exception_ptr failure;
    BeginTls(
        [&](std::exception_ptr f) {
            failure = f;
            done = true;
        },
        [this](const TCertificateInfo& info) {
            bool accept = false;
            if (OnCertificateUntrusted)
                OnCertificateUntrusted(info, accept);
            ContinueTls(accept);
        });
    WaitForStep([&] { return done; }, true);
    if (failure)
        std::rethrow_exception(failure);
}
