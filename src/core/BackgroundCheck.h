#pragma once

#include "CheckSchedule.h"
#include "ScheduledCheck.h"

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QTimer>
#include <functional>

struct Variabel;
class CheckEngine;
class MessageList;
class PasswordKeeper;
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
    // An account whose turn came without a password in memory or in the
    // keyring; once per account and run.
    std::function<void(int slot)> OnSkipped;
    // Milliseconds on a steady clock; tests replace it.
    std::function<qint64()> Now;
    // Where a password kept by an earlier run is read from; none when unset.
    PasswordKeeper* Passwords = nullptr;
    // While an account is due but the user holds a connection, it is looked
    // at again after this long.
    static constexpr int BusyRetryMs = 1000;

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
    // The accounts that take part: switched on and complete. One without a
    // password in memory is read from the keyring at its turn.
    QList<int> eligibleAccounts() const;

private:
    void planNextTick();
    // Fills the slot's password from the keyring if need be; false when none is known.
    bool havePassword(int slot);
    void startCheck(int slot);
    void checkFinished(const CheckEngine::Outcome& check);
    // The check of this slot has ended with this outcome; the next one follows.
    void checked(int slot, const ScheduledCheck::Outcome& outcome);

    Variabel& V;
    TPop3Client* m_client = nullptr;
    MessageList* m_messages = nullptr;
    CheckEngine* m_engine = nullptr;
    int m_slot = 0;
    CheckSchedule m_schedule;
    QTimer m_timer;
    QElapsedTimer m_clock;
    // What the last check of each account saw.
    QMap<int, QSet<QByteArray>> m_seen;
    QSet<int> m_skipReported;
    bool m_running = false;
    bool m_stopped = false;
};
