#include "BackgroundCheck.h"

#include "MessageList.h"
#include "PasswordKeeper.h"
#include "Pop3Client.h"
#include "ProgramFolder.h"
#include "Variabel.h"

using namespace Qt::StringLiterals;

TBackgroundCheck::TBackgroundCheck(Variabel& state, QObject* parent)
    : QObject(parent), V(state), m_client(new TPop3Client(this)), m_messages(new MessageList(this)),
      m_engine(new CheckEngine(*m_client, *m_messages, this))
{
    connect(m_engine, &CheckEngine::finished, this, &TBackgroundCheck::checkFinished);
    m_client->setObjectName(u"BackgroundPop3Client"_s);
    // A silent server must not hold this check, and every later one, for ever.
    m_client->TimeOut = Variabel::TimeOut;
    m_clock.start();
    Now = [this] { return m_clock.elapsed(); };
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TBackgroundCheck::tick);
}

TBackgroundCheck::~TBackgroundCheck() = default;

QList<int> TBackgroundCheck::eligibleAccounts() const
{
    QList<int> accounts;
    if (!V.Automatisch)
        return accounts;
    for (int n = 1; n <= Variabel::SlotCount; ++n) {
        if (V.Automatisch_Konto[n] != 0 && !V.Konto[n].isEmpty() && !V.Host[n].isEmpty() && !V.UserID[n].isEmpty())
            accounts.append(n);
    }
    return accounts;
}

void TBackgroundCheck::configure()
{
    m_schedule.setInterval(V.Intervall);
    m_schedule.setAccounts(eligibleAccounts(), Now());
    planNextTick();
}

void TBackgroundCheck::checkNow()
{
    m_schedule.setAccounts(eligibleAccounts(), Now());
    m_schedule.allDue(Now());
    if (!m_stopped)
        m_timer.start(0);
}

void TBackgroundCheck::stop()
{
    m_stopped = true;
    m_timer.stop();
    // Without QUIT: the server keeps every message of this connection.
    if (m_running)
        m_engine->abandon();
}

void TBackgroundCheck::planNextTick()
{
    if (m_running || m_stopped)
        return;
    const qint64 wait = m_schedule.untilDue(Now());
    if (wait < 0) {
        m_timer.stop();
        return;
    }
    // Not longer than a minute, so a busy user or a changed clock is looked at again soon.
    m_timer.start(int(qMin<qint64>(wait, 60 * 1000)));
}

bool TBackgroundCheck::havePassword(int slot)
{
    // Started at log-in, the program knows no password until it reads the
    // keyring; the user's check would, but nobody may be there to press it.
    // Nobody may be there to answer a box either.
    if (V.Passwort[slot].isEmpty() && Passwords)
        Passwords->fetch(slot, true);
    return !V.Passwort[slot].isEmpty();
}

void TBackgroundCheck::tick()
{
    if (m_running || m_stopped)
        return;
    // A password typed into the prompt in this run lets its account join.
    m_schedule.setAccounts(eligibleAccounts(), Now());
    const bool userBusy = UserBusy && UserBusy();
    const int slot = m_schedule.due(Now(), userBusy);
    if (slot == 0) {
        // Something is due but the user holds the mailbox: look again later,
        // not at once, which would spin until the user lets go.
        if (userBusy && m_schedule.untilDue(Now()) == 0)
            m_timer.start(BusyRetryMs);
        else
            planNextTick();
        return;
    }
    m_running = true;
    // Reading the keyring waits for it; the program may end meanwhile.
    // An OAuth2 account needs no password; the check finds out whether a
    // refresh token is kept.
    const bool known = V.usesOAuth2(slot) || havePassword(slot);
    if (m_stopped) {
        m_running = false;
        return;
    }
    if (!known) {
        m_schedule.checked(slot, Now());
        m_running = false;
        if (!m_skipReported.contains(slot)) {
            m_skipReported.insert(slot);
            if (OnSkipped)
                OnSkipped(slot);
        }
        // Further due accounts follow in turn, after the window had its say.
        if (!m_stopped)
            m_timer.start(0);
        return;
    }
    startCheck(slot);
}

void TBackgroundCheck::startCheck(int slot)
{
    m_slot = slot;
    const Account account = Account::fromSlot(V, slot);
    // Condemned messages go only when the schedule is to delete them.
    const Screening::Switches switches =
        V.Automatisch_Loeschen ? Screening::Switches{V.Loeschen_Absender, V.Loeschen_Betreff, V.Loeschen_Betreff_Eigen}
                               : Screening::Switches{};
    m_engine->start(account, CheckEngine::ListFiles::standard(), switches, CheckEngine::Asker::Nobody);
}

void TBackgroundCheck::checkFinished(const CheckEngine::Outcome& check)
{
    if (!m_running)
        return;
    const auto previous = m_seen.constFind(m_slot);
    const ScheduledCheck::Outcome outcome = ScheduledCheck::outcomeOf(
        check, *m_messages, V.Host[m_slot], m_client->TimeOut, previous == m_seen.cend() ? nullptr : &previous.value());
    // A failed check saw nothing: the next one compares with the last that did.
    if (outcome.ok)
        m_seen.insert(m_slot, outcome.seen);
    checked(m_slot, outcome);
}

void TBackgroundCheck::checked(int slot, const ScheduledCheck::Outcome& outcome)
{
    m_schedule.checked(slot, Now());
    m_running = false;
    if (m_stopped)
        return;
    if (OnChecked)
        OnChecked(slot, outcome);
    // Further due accounts follow in turn, after the window had its say.
    if (!m_stopped)
        m_timer.start(0);
}
