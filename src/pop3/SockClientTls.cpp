// The TLS half of the socket client: the handshake, the certificate check
// and what the connection tells about its encryption.
#include "SockWaitScope.h"

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
}

bool TSockClient::acceptCertificate()
{
    const QSslCertificate certificate = socket()->peerCertificate();
    if (certificate.isNull())
        return false;
    const QString weak = CertificateTrust::weakKeyReason(certificate);
    if (!weak.isEmpty())
        failHandshake(weak + u" Verbindung abgebrochen"_s);
    const QString fingerprint = Fingerprint(certificate);
    const QString server = CertificateTrust::serverOf(Host, Port);
    const CertificateTrust::Verdict verdict = CertificateTrust::judge(Trusted, fingerprint, server, m_sslErrors);
    if (verdict.trusted)
        return true;
    if (!OnCertificateUntrusted)
        return false;
    TCertificateInfo info;
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
    bool accept = false;
    OnCertificateUntrusted(info, accept);
    return accept;
}

void TSockClient::failHandshake(const QString& reason)
{
    if (m_connected || socket()->state() != QAbstractSocket::UnconnectedState)
        CloseSocket();
    throw ESockError(reason);
}

void TSockClient::StartTls()
{
    ReportStatus(4, u"TLS-Handshake"_s);
    if (socket()->state() != QAbstractSocket::ConnectedState)
        raiseSocketError(WinSock::NotConnected);
    // Bytes the server sent in the clear before the handshake would later be
    // read as if they had come encrypted.
    if (socket()->bytesAvailable() > 0)
        failHandshake(u"Unverschlüsselte Daten vor dem TLS-Handshake, Verbindung getrennt"_s);

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

    socket()->startClientEncryption();
    const auto open = [this] { return socket()->state() == QAbstractSocket::ConnectedState; };
    bool timedOut = false;
    bool canceled = false;
    for (;;) {
        {
            WaitScope wait(*this);
            waitUntil([&] { return m_encrypted || m_sslPaused || wait.ended() || !m_succeeded || !open(); });
            timedOut = wait.timedOut;
            canceled = wait.canceled || m_canceled;
        }
        if (!m_sslPaused || m_encrypted || timedOut || canceled || !m_succeeded || !open())
            break;
        // The user may take as long as needed to decide: no wait runs
        // meanwhile, and the rest of the handshake gets a time-out of its own.
        m_sslPaused = false;
        if (!acceptCertificate())
            failHandshake(u"Dem Zertifikat des Servers wird nicht vertraut, Verbindung abgebrochen"_s);
        socket()->ignoreSslErrors(m_sslErrors);
        socket()->resume();
    }
    if (m_encrypted && open()) {
        // A verified certificate with a weak key is refused all the same.
        const QString weak = CertificateTrust::weakKeyReason(socket()->peerCertificate());
        if (!weak.isEmpty())
            failHandshake(weak + u" Verbindung abgebrochen"_s);
        ReportStatus(1, u"Verschlüsselt: "_s + EncryptionText());
        return;
    }
    if (timedOut)
        failHandshake(u"Zeitüberschreitung beim TLS-Handshake"_s);
    if (canceled) {
        m_canceled = false;
        failHandshake(u"TLS-Handshake abgebrochen"_s);
    }
    if (!m_succeeded)
        failHandshake(u"TLS-Handshake fehlgeschlagen (spricht der Server auf diesem Port TLS?): "_s +
                      socket()->errorString());
    failHandshake(u"Die Verbindung wurde während des TLS-Handshakes geschlossen"_s);
}
