#include "BackgroundCheck.h"

#include "Exception.h"
#include "PasswordKeeper.h"
#include "Pop3Client.h"
#include "ProgramFolder.h"
#include "Variabel.h"

using namespace Qt::StringLiterals;

TBackgroundCheck::TBackgroundCheck(Variabel& state, QObject* parent)
    : QObject(parent), V(state), m_client(new TPop3Client(this))
{
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
    if (m_running) {
        try {
            m_client->Disconnect();
        } catch (const std::exception&) {
        }
    }
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
    const bool known = havePassword(slot);
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
    } else {
        const ScheduledCheck::Outcome outcome = runCheck(slot);
        // A failed check saw nothing: the next one compares with the last that did.
        if (outcome.ok)
            m_seen.insert(slot, outcome.seen);
        m_schedule.checked(slot, Now());
        m_running = false;
        if (OnChecked)
            OnChecked(slot, outcome);
    }
    // Further due accounts follow in turn, after the window had its say.
    if (!m_stopped)
        m_timer.start(0);
}

ScheduledCheck::Outcome TBackgroundCheck::runCheck(int slot)
{
    try {
        ScheduledCheck::Account account;
        account.host = V.Host[slot];
        account.port = V.Port[slot];
        const QString security = Variabel::securityChoice(V.Sicherheit[slot]);
        account.security = security == Variabel::SecurityTls        ? TSecurity::Tls
                           : security == Variabel::SecurityStartTls ? TSecurity::StartTls
                                                                    : TSecurity::None;
        account.trust = V.certificateTrust(slot);
        account.userId = V.UserID[slot];
        account.password = V.Passwort[slot];
        Screening::Lists lists;
        lists.absender = Screening::loadList(ProgramFolder::userList(u"Absender_User.ini"_s));
        lists.betreff = Screening::loadList(ProgramFolder::file(u"\\init\\Betreff.ini"_s));
        lists.betreffEigen = Screening::loadList(ProgramFolder::userList(u"Betreff_User.ini"_s));
        const Screening::Switches switches{V.Loeschen_Absender, V.Loeschen_Betreff, V.Loeschen_Betreff_Eigen};
        const auto previous = m_seen.constFind(slot);
        return ScheduledCheck::run(*m_client, account, lists, switches, V.Automatisch_Loeschen,
                                   previous == m_seen.cend() ? nullptr : &previous.value());
    } catch (const std::exception& e) {
        // A list that cannot be read: nothing is screened, nothing deleted.
        ScheduledCheck::Outcome outcome;
        const auto* failure = dynamic_cast<const Exception*>(&e);
        outcome.error = failure ? failure->message() : QString::fromLocal8Bit(e.what());
        return outcome;
    }
}
