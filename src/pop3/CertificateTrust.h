#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringList>

// A certificate the user chose to trust although it did not verify. The trust
// holds for one server only and for the errors the certificate showed when it
// was given: another host or port, or a new error (it has expired since),
// asks again.
struct TCertificateTrust
{
    QString Fingerprint; // SHA-256, lowercase hex; empty: none
    // "host:port" it was trusted for; empty for a trust stored before it was
    // bound to a server, which is asked for again and then bound.
    QString Server;
    QString Errors; // the error numbers it showed then, as errorCodes() writes them
};

namespace CertificateTrust {

// The server a trust belongs to, as it is stored.
QString serverOf(const QString& host, int port);
// The kinds of the errors, sorted, without repeats, blank-separated.
QString errorCodes(const QList<QSslError>& errors);
// What an error means, in the user's words.
QString reasonText(const QSslError& error);
// Why the certificate's key is too weak to be trusted at all; empty when it is not.
QString weakKeyReason(const QSslCertificate& certificate);

struct Verdict
{
    bool trusted = false; // accepted without asking
    bool changed = false; // another certificate than the one trusted for this server
    // The reasons the certificate did not show when it was trusted.
    QStringList newReasons;
};

// Whether a certificate with this fingerprint and these errors, presented by
// this server, is covered by the stored trust.
Verdict judge(const TCertificateTrust& stored, const QString& fingerprint, const QString& server,
              const QList<QSslError>& errors);

} // namespace CertificateTrust
