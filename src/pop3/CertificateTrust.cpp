#include "CertificateTrust.h"

#include "UiLanguage.h"

#include <QSslKey>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace CertificateTrust {

namespace {

// Below this an RSA key can be broken with means an attacker can have.
constexpr int kMinimumRsaBits = 2048;

QList<int> codesOf(const QString& text)
{
    QList<int> codes;
    for (const QString& part : text.split(u' ', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int code = part.toInt(&ok);
        if (ok)
            codes.append(code);
    }
    return codes;
}

} // namespace

QString serverOf(const QString& host, int port)
{
    return host.trimmed().toLower() + u':' + QString::number(port);
}

QString errorCodes(const QList<QSslError>& errors)
{
    QList<int> codes;
    for (const QSslError& error : errors) {
        if (!codes.contains(int(error.error())))
            codes.append(int(error.error()));
    }
    std::sort(codes.begin(), codes.end());
    QStringList parts;
    for (int code : std::as_const(codes))
        parts.append(QString::number(code));
    return parts.join(u' ');
}

QString reasonText(const QSslError& error)
{
    switch (error.error()) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
        return byLanguage(u"Das Zertifikat ist selbst signiert."_s, u"The certificate is self-signed."_s);
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return byLanguage(u"Der Aussteller des Zertifikats ist nicht bekannt oder nicht vertrauenswürdig."_s,
                          u"The issuer of the certificate is unknown or not trusted."_s);
    case QSslError::CertificateExpired:
        return byLanguage(u"Das Zertifikat ist abgelaufen."_s, u"The certificate has expired."_s);
    case QSslError::CertificateNotYetValid:
        return byLanguage(u"Das Zertifikat ist noch nicht gültig."_s, u"The certificate is not valid yet."_s);
    case QSslError::HostNameMismatch:
        return byLanguage(u"Das Zertifikat gilt nicht für diesen Host."_s,
                          u"The certificate is not valid for this host."_s);
    case QSslError::CertificateRevoked:
        return byLanguage(u"Das Zertifikat wurde widerrufen."_s, u"The certificate has been revoked."_s);
    case QSslError::CertificateSignatureFailed:
    case QSslError::UnableToDecryptCertificateSignature:
        return byLanguage(u"Die Signatur des Zertifikats ist ungültig."_s,
                          u"The signature of the certificate is invalid."_s);
    case QSslError::InvalidPurpose:
        return byLanguage(u"Das Zertifikat ist nicht für einen Server bestimmt."_s,
                          u"The certificate is not meant for a server."_s);
    default:
        // The library's own text is English and often says only "unknown".
        return byLanguage(u"Das Zertifikat wurde von der TLS-Bibliothek abgelehnt (Fehler "_s,
                          u"The TLS library refused the certificate (error "_s) +
               QString::number(int(error.error())) + u")."_s;
    }
}

QString weakKeyReason(const QSslCertificate& certificate)
{
    const QSslKey key = certificate.publicKey();
    if (key.algorithm() != QSsl::Rsa || key.length() >= kMinimumRsaBits)
        return {};
    return byLanguage(u"Der Schlüssel des Zertifikats ist zu kurz (RSA mit "_s,
                      u"The key of the certificate is too short (RSA with "_s) +
           QString::number(key.length()) +
           byLanguage(u" Bit, nötig sind mindestens 2048 Bit); ihm kann nicht vertraut werden."_s,
                      u" bits, at least 2048 bits are needed); it cannot be trusted."_s);
}

Verdict judge(const TCertificateTrust& stored, const QString& fingerprint, const QString& server,
              const QList<QSslError>& errors)
{
    Verdict verdict;
    const QString trusted = stored.Fingerprint.trimmed().toLower();
    if (trusted.isEmpty())
        return verdict;
    // A trust stored before it named its server could belong to any host the
    // account ever had: it is not taken without asking.
    if (stored.Server.isEmpty() || stored.Server != server)
        return verdict;
    if (fingerprint != trusted) {
        verdict.changed = true;
        return verdict;
    }
    const QList<int> known = codesOf(stored.Errors);
    for (const QSslError& error : errors) {
        if (known.contains(int(error.error())))
            continue;
        const QString reason = reasonText(error);
        if (!verdict.newReasons.contains(reason))
            verdict.newReasons.append(reason);
    }
    verdict.trusted = verdict.newReasons.isEmpty();
    return verdict;
}

} // namespace CertificateTrust
