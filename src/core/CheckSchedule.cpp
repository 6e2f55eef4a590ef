#include "CheckSchedule.h"

#include <limits>

int CheckSchedule::clampedInterval(int minutes)
{
    return qBound(MinMinutes, minutes, MaxMinutes);
}

void CheckSchedule::setInterval(int minutes)
{
    m_minutes = clampedInterval(minutes);
}

void CheckSchedule::setAccounts(const QList<int>& accounts, qint64 now)
{
    QMap<int, qint64> last;
    for (int slot : accounts)
        last.insert(slot, m_last.value(slot, now));
    m_last = last;
}

qint64 CheckSchedule::dueAt(int slot) const
{
    return m_last.value(slot) + qint64(m_minutes) * 60 * 1000;
}

int CheckSchedule::due(qint64 now, bool userBusy) const
{
    if (userBusy)
        return 0;
    int chosen = 0;
    qint64 oldest = std::numeric_limits<qint64>::max();
    for (auto it = m_last.cbegin(); it != m_last.cend(); ++it) {
        if (dueAt(it.key()) <= now && it.value() < oldest) {
            oldest = it.value();
            chosen = it.key();
        }
    }
    return chosen;
}

qint64 CheckSchedule::untilDue(qint64 now) const
{
    if (m_last.isEmpty())
        return -1;
    qint64 soonest = std::numeric_limits<qint64>::max();
    for (auto it = m_last.cbegin(); it != m_last.cend(); ++it)
        soonest = qMin(soonest, dueAt(it.key()));
    return qMax<qint64>(0, soonest - now);
}

void CheckSchedule::checked(int slot, qint64 now)
{
    if (m_last.contains(slot))
        m_last[slot] = now;
}

void CheckSchedule::allDue(qint64 now)
{
    // All move back by the same time, so the one waiting longest still goes first.
    qint64 shift = 0;
    for (auto it = m_last.cbegin(); it != m_last.cend(); ++it)
        shift = qMax(shift, dueAt(it.key()) - now);
    for (auto it = m_last.begin(); it != m_last.end(); ++it)
        it.value() -= shift;
}
