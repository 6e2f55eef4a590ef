#pragma once

#include "CheckEngine.h"

#include <QSet>
#include <QString>

class MessageList;

// What a check of the schedule tells: the check itself is the check engine's,
// the same as the user's, asking nobody and ending with QUIT.
namespace ScheduledCheck {

struct Outcome
{
    bool ok = false;
    QString error;    // why the check failed, for the log
    int messages = 0; // on the server before the check
    int fresh = 0;    // not seen by the previous check of the account
    int deleted = 0;
    int waiting() const { return messages - deleted; }
    // What identifies every message left on the server, for the next check.
    QSet<QByteArray> seen;
};

// The lasting identity of a message: its UIDL id when the server offers
// UIDL, else its Message-ID, else what its row shows.
QByteArray identity(const QByteArray& uid, const QByteArray& messageId, qint64 bytes, const QString& sender,
                    const QString& subject);

// The outcome of a finished check of the account at host, whose messages the
// list holds. previous: what the last check of the account saw; nullptr when
// there was none, and then every message is new.
Outcome outcomeOf(const CheckEngine::Outcome& check, const MessageList& messages, const QString& host, int timeOutMs,
                  const QSet<QByteArray>* previous);

} // namespace ScheduledCheck
