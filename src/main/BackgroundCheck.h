#pragma once

#include "CheckSchedule.h"
#include "ScheduledCheck.h"

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QTimer>
#include <functional>

struct Variabel;
class TPop3Client;

// Runs the scheduled checks of the accounts that take part, one at a time on
// a connection of its own, and reports each outcome. The window tells it when
// the user's own work holds a connection; then it waits.
class TBackgroundCheck : public QObject
{
    Q_OBJECT
public:
    explicit TBackgroundCheck(Variabel& state, QObject* parent = nullptr);
    ~TBackgroundCheck() override;

    // Whether the user's own check or examination holds a connection.
    std::function<bool()> UserBusy;
    // After every scheduled check, with the account slot.
    std::function<void(int slot, const ScheduledCheck::Outcome& outcome)> OnChecked;
    // Milliseconds on a steady clock; tests replace it.
    std::function<qint64()> Now;

    // Takes over the interval, the accounts and the switch from the settings;
    // call after they changed.
    void configure();
    // Checks every account that takes part, in turn, as soon as possible.
    void checkNow();
    // Looks whether an account is due and checks it. The timer calls this.
    void tick();
    // No more checks; one that waits for its server is given up without QUIT.
    void stop();

    bool Running() const { return m_running; }
    const CheckSchedule& Schedule() const { return m_schedule; }
    TPop3Client* Client() const { return m_client; }
    // The accounts that may take part now: switched on, complete, and with a
    // password known in this run.
    QList<int> eligibleAccounts() const;

private:
    void planNextTick();

    Variabel& V;
    TPop3Client* m_client = nullptr;
    CheckSchedule m_schedule;
    QTimer m_timer;
    QElapsedTimer m_clock;
    // What the last check of each account saw.
    QMap<int, QSet<QByteArray>> m_seen;
    bool m_running = false;
    bool m_stopped = false;
};
