#include "CertificateTrust.h"

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
        return u"Das Zertifikat ist selbst signiert."_s;
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return u"Der Aussteller des Zertifikats ist nicht bekannt oder nicht vertrauenswürdig."_s;
    case QSslError::CertificateExpired:
        return u"Das Zertifikat ist abgelaufen."_s;
    case QSslError::CertificateNotYetValid:
        return u"Das Zertifikat ist noch nicht gültig."_s;
    case QSslError::HostNameMismatch:
        return u"Das Zertifikat gilt nicht für diesen Host."_s;
    case QSslError::CertificateRevoked:
        return u"Das Zertifikat wurde widerrufen."_s;
    case QSslError::CertificateSignatureFailed:
    case QSslError::UnableToDecryptCertificateSignature:
        return u"Die Signatur des Zertifikats ist ungültig."_s;
    case QSslError::InvalidPurpose:
        return u"Das Zertifikat ist nicht für einen Server bestimmt."_s;
    default:
        // The library's own text is English and often says only "unknown".
        return u"Das Zertifikat wurde von der TLS-Bibliothek abgelehnt (Fehler "_s +
               QString::number(int(error.error())) + u")."_s;
    }
}

QString weakKeyReason(const QSslCertificate& certificate)
{
    const QSslKey key = certificate.publicKey();
    if (key.algorithm() != QSsl::Rsa || key.length() >= kMinimumRsaBits)
        return {};
    return u"Der Schlüssel des Zertifikats ist zu kurz (RSA mit "_s + QString::number(key.length()) +
           u" Bit, nötig sind mindestens 2048 Bit); ihm kann nicht vertraut werden."_s;
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
