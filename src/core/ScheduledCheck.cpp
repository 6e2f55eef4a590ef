#include "ScheduledCheck.h"

#include "MessageList.h"
#include "UiLanguage.h"

using namespace Qt::StringLiterals;

namespace ScheduledCheck {

QByteArray identity(const QByteArray& uid, const QByteArray& messageId, qint64 bytes, const QString& sender,
                    const QString& subject)
{
    if (!uid.isEmpty())
        return "U " + uid;
    if (!messageId.isEmpty())
        return "M " + messageId;
    return "S " + QByteArray::number(bytes) + ' ' + sender.toUtf8() + '\n' + subject.toUtf8();
}

Outcome outcomeOf(const CheckEngine::Outcome& check, const MessageList& messages, const QString& host, int timeOutMs,
                  const QSet<QByteArray>* previous)
{
    Outcome outcome;
    outcome.messages = check.messages;
    if (!check.ok) {
        // A wait that ran out ends like a cancelled one; the log says which it was.
        if (check.failure == CheckEngine::Failure::Untrusted)
            outcome.error = byLanguage(u"Dem Zertifikat von "_s, u"The certificate of "_s) + host +
                            byLanguage(u" wird nicht vertraut; die automatische Prüfung fragt nicht nach."_s,
                                       u" is not trusted; the scheduled check does not ask."_s);
        else if (check.timedOut && !check.error.startsWith(byLanguage(u"Zeitüberschreitung"_s, u"Time-out"_s)))
            outcome.error = byLanguage(u"Zeitüberschreitung: "_s, u"Time-out: "_s) + host +
                            byLanguage(u" hat "_s, u" has not answered for "_s) + QString::number(timeOutMs / 1000) +
                            byLanguage(u" s lang nicht geantwortet."_s, u" s."_s);
        else
            outcome.error = check.error;
        return outcome;
    }
    outcome.ok = true;
    outcome.deleted = check.deleted;
    for (int row = 0; row < messages.size(); ++row) {
        const MessageList::Message& m = messages.at(row);
        const QByteArray id = identity(m.uid, m.messageId, m.bytes, m.sender, m.subject);
        if (!previous || !previous->contains(id))
            ++outcome.fresh;
        if (m.deletion != MessageList::Deletion::Final)
            outcome.seen.insert(id);
    }
    return outcome;
}

} // namespace ScheduledCheck
