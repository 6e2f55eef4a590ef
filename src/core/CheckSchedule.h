#pragma once

#include "Variabel.h"

#include <QList>
#include <QMap>
#include <QtGlobal>

// When which account is checked in the background. Plain bookkeeping: the
// caller passes the time (milliseconds on any steady clock), so it can be
// driven without waiting.
class CheckSchedule
{
public:
    static constexpr int MinMinutes = Variabel::IntervallMin;
    static constexpr int MaxMinutes = Variabel::IntervallMax;

    // Minutes between two checks of one account, kept within 1 to 1440.
    void setInterval(int minutes);
    int interval() const { return m_minutes; }
    static int clampedInterval(int minutes);

    // The accounts that take part. An account new to the schedule is first
    // due one interval after now; one that stays keeps its time.
    void setAccounts(const QList<int>& accounts, qint64 now);
    QList<int> accounts() const { return m_last.keys(); }

    // The account to check now, 0 when none is due or while the user's own
    // check or examination holds a connection. Of several due accounts the
    // one waiting longest goes first, so all come in turn.
    int due(qint64 now, bool userBusy) const;
    // Milliseconds until the next account is due; -1 without accounts.
    qint64 untilDue(qint64 now) const;

    void checked(int slot, qint64 now);
    // Every account becomes due at once (the tray's "check now").
    void allDue(qint64 now);

private:
    qint64 dueAt(int slot) const;

    int m_minutes = 15;
    // Time of the last check, or of joining the schedule.
    QMap<int, qint64> m_last;
};
