#pragma once

#include "Pop3Client.h"
#include "Screening.h"

#include <QSet>
#include <QString>

// One check of one account without the window: log on, list and screen every
// waiting message as the check command does, delete the condemned ones when
// asked, and end with QUIT so the deletions take effect and the mailbox is
// free for the mail program. It never asks the user anything.
namespace ScheduledCheck {

struct Account
{
    QString host;
    qint32 port = 110;
    TSecurity security = TSecurity::None;
    TCertificateTrust trust; // a certificate the user trusts for the account
    QString userId;
    QString password;
};

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
// UIDL, else its Message-ID, else what its summary shows.
QByteArray identity(const QByteArray& uid, const TSummary& summary);

// previous: what the last check of the account saw; nullptr when there was
// none, and then every message is new.
Outcome run(TPop3Client& client, const Account& account, const Screening::Lists& lists,
            const Screening::Switches& switches, bool deleteCondemned, const QSet<QByteArray>* previous);

} // namespace ScheduledCheck
