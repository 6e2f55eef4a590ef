#include "ScheduledCheck.h"

#include "AnsiText.h"
#include "Exception.h"
#include "HeaderText.h"

#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace ScheduledCheck {

QByteArray identity(const QByteArray& uid, const TSummary& summary)
{
    if (!uid.isEmpty())
        return "U " + uid;
    const QByteArray id = summary.MessageId.trimmed();
    if (!id.isEmpty())
        return "M " + id;
    return "S " + QByteArray::number(summary.Bytes) + ' ' + summary.From + '\n' + summary.Subject;
}

namespace {

QString messageOf(const std::exception& e)
{
    const auto* failure = dynamic_cast<const Exception*>(&e);
    return (failure ? failure->message() : QString::fromLocal8Bit(e.what())).trimmed();
}

} // namespace

Outcome run(TPop3Client& client, const Account& account, const Screening::Lists& lists,
            const Screening::Switches& switches, bool deleteCondemned, const QSet<QByteArray>* previous)
{
    Outcome outcome;
    client.Host = account.host;
    client.Port = account.port;
    client.Security = account.security;
    client.Trusted = account.trust;
    client.UserID = account.userId;
    client.Password = account.password;
    // Nobody is there to answer: no password prompt, no trust box.
    client.OnAuthenticationNeeded = nullptr;
    client.OnAuthenticationFailed = nullptr;
    client.OnConnect = nullptr;
    bool untrusted = false;
    client.OnCertificateUntrusted = [&untrusted](const TCertificateInfo&, bool& accept) {
        untrusted = true;
        accept = false;
    };
    try {
        client.Connect();
        outcome.messages = client.MessageCount();
        if (outcome.messages > 0) {
            const QMap<int, QByteArray> uids =
                client.HasCapability("UIDL") ? client.UniqueIds() : QMap<int, QByteArray>();
            // The same listing as the check command: the whole LIST first, then
            // every summary, a condemned message's DELE joining the stream.
            QMap<int, QByteArray> kept;
            bool condemned = false;
            int current = 0;
            client.OnRetrieveEnd = [&](QObject*) {
                const TSummary& summary = client.Summary();
                const QByteArray id = identity(uids.value(current), summary);
                if (!previous || !previous->contains(id))
                    ++outcome.fresh;
                kept.insert(current, id);
                // Screened on the fields as the check command shows and screens them.
                condemned = Screening::screen(summary, lists, switches).condemned;
            };
            const auto forget = qScopeGuard([&client] { client.OnRetrieveEnd = nullptr; });
            current = 1;
            client.RetrieveSummaries(
                1, outcome.messages,
                [&](int) {
                    const bool goes = deleteCondemned && condemned;
                    condemned = false;
                    ++current;
                    return goes;
                },
                [&](int msgNum) {
                    kept.remove(msgNum);
                    ++outcome.deleted;
                },
                true);
            for (const QByteArray& id : std::as_const(kept))
                outcome.seen.insert(id);
        }
        client.Disconnect();
        outcome.ok = true;
    } catch (const std::exception& e) {
        // A wait that ran out ends like a cancelled one; the log says which it was.
        const QString timedOut = u"Zeitüberschreitung: "_s + account.host + u" hat "_s +
                                 QString::number(client.TimeOut / 1000) + u" s lang nicht geantwortet."_s;
        outcome.error = untrusted ? u"Dem Zertifikat von "_s + account.host +
                                        u" wird nicht vertraut; die automatische Prüfung fragt nicht nach."_s
                        : client.TimedOut() && !messageOf(e).startsWith(u"Zeitüberschreitung"_s) ? timedOut
                                                                                                 : messageOf(e);
        // Without QUIT the server keeps every message of this connection.
        if (client.Connected())
            client.Abort();
        outcome.deleted = 0;
        outcome.seen.clear();
    }
    return outcome;
}

} // namespace ScheduledCheck
