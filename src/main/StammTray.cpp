// Screening in the background: the scheduled checks, the tray icon and the
// desktop notifications after a check that found new mail.
#include "BackgroundCheck.h"
#include "BerichtUn.h"
#include "CommandGuard.h"
#include "DesktopNotifier.h"
#include "PasswordKeeper.h"
#include "Pop3Client.h"
#include "StammUn.h"
#include "StatusLabel.h"
#include "UiLanguage.h"

#include <QAction>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTime>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The time of day in the interface's language; German as it always was.
QString clockTime()
{
    const QTime now = QTime::currentTime();
    return UiLanguage::isGerman() ? now.toString(u"hh:mm"_s) : QLocale().toString(now, QLocale::ShortFormat);
}

// A tray message carries a server's error text and the account's name. Where
// the tray's balloon reads markup, that text must not be.
QString notificationText(const QString& text)
{
#ifdef Q_OS_WIN
    return text;
#else
    return text.toHtmlEscaped();
#endif
}

std::function<bool()>& trayProbe()
{
    static std::function<bool()> probe;
    return probe;
}

} // namespace

void TStammForm::setTrayProbe(std::function<bool()> available)
{
    trayProbe() = std::move(available);
}

void TStammForm::setUpBackground()
{
    m_background = new TBackgroundCheck(V, this);
    m_background->setObjectName(u"BackgroundCheck"_s);
    m_background->Passwords = m_passwords.get();
    m_background->OnSkipped = [this](int slot) { BackgroundSkipped(slot); };
    m_notifier = new DesktopNotifier(this);
    m_notifier->setObjectName(u"DesktopNotifier"_s);
    m_notifier->Fallback = [this](const QString& title, const QString& text, DesktopNotifier::Kind kind) {
        if (m_tray && m_tray->isVisible())
            m_tray->showMessage(notificationText(title), notificationText(text),
                                kind == DesktopNotifier::Kind::Warning ? QSystemTrayIcon::Warning
                                                                       : QSystemTrayIcon::Information);
    };
    // The user's connection holds the mailbox's lock; a second one would be
    // refused or would take over what the user is looking at.
    m_background->UserBusy = [this] { return m_commandLocks > 0 || m_engine->running() || Pop3Client1->Connected(); };
    m_background->OnChecked = [this](int slot, const ScheduledCheck::Outcome& outcome) {
        BackgroundChecked(slot, outcome);
    };
    m_background->configure();
}

void TStammForm::setUpTray()
{
    // Asking whether the desktop has a tray is a round trip to it (or to the
    // session bus), so it is asked once the window is on the screen.
    if (m_trayAsked)
        return;
    m_trayAsked = true;
    if (trayProbe() ? trayProbe()() : QSystemTrayIcon::isSystemTrayAvailable())
        buildTray();
}

void TStammForm::buildTray()
{
    // Without an icon the desktop shows no tray entry at all; the check
    // button's picture stands in for the program.
    QIcon icon = windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_BrowserReload);
    m_tray = new QSystemTrayIcon(icon, this);
    m_tray->setObjectName(u"TrayIcon"_s);
    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(u"TrayMenu"_s);
    m_trayMenu->setAccessibleName(u"Postrella"_s);
    QAction* check = m_trayMenu->addAction(byLanguage(u"Jetzt prüfen"_s, u"Check now"_s));
    check->setObjectName(u"TrayCheck"_s);
    QAction* show = m_trayMenu->addAction(byLanguage(u"Fenster zeigen"_s, u"Show window"_s));
    show->setObjectName(u"TrayShow"_s);
    m_trayMenu->addSeparator();
    QAction* quit = m_trayMenu->addAction(byLanguage(u"Beenden"_s, u"Quit"_s));
    quit->setObjectName(u"TrayQuit"_s);
    CommandGuard::connect(check, &QAction::triggered, this, [this] {
        // Without scheduled checks there is nothing to run in the background:
        // the user gets the check command itself.
        if (V.Automatisch) {
            m_background->checkNow();
        } else {
            showFromTray();
            SBCheckClick();
        }
    });
    CommandGuard::connect(show, &QAction::triggered, this, [this] { showFromTray(); });
    CommandGuard::connect(quit, &QAction::triggered, this, [this] { quitFromTray(); });
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            showFromTray();
    });
    m_tray->setContextMenu(m_trayMenu);
    updateTray();
    m_tray->show();
}

void TStammForm::showFromTray()
{
    show();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TStammForm::quitFromTray()
{
    m_quitAsked = true;
    close();
}

void TStammForm::endProgram()
{
    // The session is ending: nobody is there to answer a box, and a modal one
    // would hold the log-out. A refused QUIT goes to the log only.
    m_endingSession = true;
    CommandGuard::run([this] { disconnectClient(true); });
    quitFromTray();
}

int TStammForm::waitingMessages() const
{
    int sum = 0;
    for (int count : m_waiting)
        sum += count;
    return sum;
}

void TStammForm::updateTray()
{
    if (!m_tray)
        return;
    const int waiting = waitingMessages();
    m_tray->setToolTip(waiting == 1 ? byLanguage(u"Postrella: 1 Nachricht wartet"_s, u"Postrella: 1 message waiting"_s)
                                    : u"Postrella: "_s + QString::number(waiting) +
                                          byLanguage(u" Nachrichten warten"_s, u" messages waiting"_s));
}

void TStammForm::BackgroundChecked(int slot, const ScheduledCheck::Outcome& outcome)
{
    const QString when = clockTime();
    const QString account = V.Konto[slot];
    QString line;
    if (outcome.ok) {
        m_waiting.insert(slot, outcome.waiting());
        line = byLanguage(u"Automatische Prüfung "_s, u"Scheduled check "_s) + when + u", "_s + account + u": "_s +
               QString::number(outcome.waiting()) + byLanguage(u" warten, "_s, u" waiting, "_s) +
               QString::number(outcome.fresh) + byLanguage(u" neu, "_s, u" new, "_s) +
               QString::number(outcome.deleted) + byLanguage(u" gelöscht"_s, u" deleted"_s);
    } else {
        line = byLanguage(u"Automatische Prüfung "_s, u"Scheduled check "_s) + when + u", "_s + account +
               u": Error: "_s + outcome.error;
    }
    log(line);
    LStatus->setText(u"Status: "_s + line);
    updateTray();
    // The user's check asked for while this one ran goes now.
    if (m_checkAfterBackground && !m_closing) {
        m_checkAfterBackground = false;
        QTimer::singleShot(0, this, [this] { CommandGuard::run([this] { SBCheckClick(); }); });
    }
    // The desktop's notification service may be there without a tray.
    if (!outcome.ok) {
        m_notifier->notify(
            u"Postrella: "_s + account,
            byLanguage(u"Die automatische Prüfung ist fehlgeschlagen: "_s, u"The scheduled check failed: "_s) +
                outcome.error,
            DesktopNotifier::Kind::Warning);
    } else if (outcome.fresh > 0) {
        m_notifier->notify(u"Postrella: "_s + account,
                           QString::number(outcome.fresh) +
                               (outcome.fresh == 1 ? byLanguage(u" neue Nachricht, "_s, u" new message, "_s)
                                                   : byLanguage(u" neue Nachrichten, "_s, u" new messages, "_s)) +
                               QString::number(outcome.deleted) + byLanguage(u" gelöscht"_s, u" deleted"_s),
                           DesktopNotifier::Kind::Information);
    }
}

void TStammForm::BackgroundSkipped(int slot)
{
    const QString why =
        !V.Passwort_Sichern ? byLanguage(u"Das Passwort wird nicht gespeichert (\"Passwort speichern\" ist aus)."_s,
                                         u"The password is not saved (\"Save password\" is off)."_s)
        : m_passwords->Unavailable()
            ? byLanguage(u"Der Schlüsselbund ist nicht erreichbar."_s, u"The keyring cannot be reached."_s)
            : byLanguage(u"Das Passwort ist nicht im Schlüsselbund gespeichert."_s,
                         u"The password is not stored in the keyring."_s);
    const QString line =
        byLanguage(u"Automatische Prüfung "_s, u"Scheduled check "_s) + clockTime() + u", "_s + V.Konto[slot] +
        byLanguage(u": übersprungen. "_s, u": skipped. "_s) + why +
        byLanguage(u" Nach einer Prüfung von Hand mit dem Passwort wird das Konto wieder automatisch geprüft."_s,
                   u" After a check by hand with the password the account is checked automatically again."_s);
    log(line);
    LStatus->setText(u"Status: "_s + line);
}
