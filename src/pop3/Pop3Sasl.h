#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// The SASL mechanisms that carry an OAuth2 bearer token in a POP3 AUTH
// (RFC 5034): Google's and Microsoft's XOAUTH2 and the standard OAUTHBEARER
// (RFC 7628).
namespace Pop3Sasl {

// The mechanism to use among those the capability list's SASL line offers:
// XOAUTH2 first, which every server that has it takes, then OAUTHBEARER;
// empty when neither is offered.
QByteArray chooseMechanism(const QList<QByteArray>& capabilities);

// The initial response for the mechanism, base64-encoded.
QByteArray initialResponse(QByteArrayView mechanism, const QString& user, const QString& host, int port,
                           const QString& token);

// What answers a server's error challenge before it sends its -ERR: an empty
// line for XOAUTH2, the single byte 0x01 for OAUTHBEARER.
QByteArray errorAnswer(QByteArrayView mechanism);

// Whether a line is a continuation ("+", "+ data") rather than a status.
bool isContinuation(QByteArrayView line);

// Why a user or token cannot go into a SASL message (the fields are divided by
// control bytes there, so one inside them would forge another field); empty
// when they can.
QString unusable(const QString& user, const QString& token);

} // namespace Pop3Sasl
