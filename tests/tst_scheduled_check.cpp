#include "BackgroundCheck.h"
#include "BerichtUn.h"
#include "CheckWait.h"
#include "DovecotServer.h"
#include "FakePop3Server.h"
#include "ModelGrid.h"
#include "Pop3Client.h"
#include "ProgramWindows.h"
#include "SettingsStore.h"
#include "StringGrid.h"
#include "TerminationSignal.h"
#include "TestSupport.h"
#include "Variabel.h"

#include <QAction>
#include <QComboBox>
#include <QDBusConnection>
#include <QFile>
#include <QLabel>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <csignal>

using namespace Qt::StringLiterals;
using namespace Pop3Script;

namespace {

constexpr qint64 kMinute = 60 * 1000;

QByteArray message(const QByteArray& from, const QByteArray& subject, const QByteArray& id)
{
    return "From: " + from + "\r\nTo: test@example.org\r\nSubject: " + subject + "\r\nMessage-ID: " + id +
           "\r\n\r\nText\r\n";
}

void writeList(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

// The background checker on a clock the test moves, with every outcome kept.
struct Harness
{
    Variabel V;
    TBackgroundCheck check{V};
    qint64 now = 0;
    bool userBusy = false;
    QList<std::pair<int, ScheduledCheck::Outcome>> outcomes;
    QList<int> skipped;

    Harness()
    {
        V.Automatisch = true;
        V.Intervall = 1;
        check.Now = [this] { return now; };
        check.UserBusy = [this] { return userBusy; };
        check.OnChecked = [this](int slot, const ScheduledCheck::Outcome& o) { outcomes.append({slot, o}); };
        check.OnSkipped = [this](int slot) { skipped.append(slot); };
    }
    void account(int slot, const QByteArray& host, quint16 port, const QByteArray& user, const QByteArray& password)
    {
        V.Konto[slot] = u"Konto "_s + QString::number(slot);
        V.Host[slot] = QString::fromLatin1(host);
        V.Port[slot] = port;
        V.UserID[slot] = QString::fromLatin1(user);
        V.Passwort[slot] = QString::fromLatin1(password);
    }
    // A look at the schedule, as the timer would, and the check it starts up to its end.
    void tick()
    {
        check.tick();
        QTRY_VERIFY_WITH_TIMEOUT(!check.Running(), 30000);
    }
    // One interval later, as the timer would.
    void nextInterval()
    {
        now += qint64(V.Intervall) * kMinute;
        tick();
    }
};

// The program with one account on the scripted server and scheduled checks on.
struct Program
{
    ProgramWindows windows;
    TStammForm& form = windows.StammForm;

    explicit Program(quint16 port)
    {
        Variabel& V = windows.state;
        std::tie(V.Konto[1], V.Host[1], V.Port[1], V.UserID[1], V.Passwort[1]) =
            std::tuple(u"Test"_s, u"127.0.0.1"_s, port, u"u"_s, u"p"_s);
        V.Automatisch = V.In_Tray = true;
        V.First = V.Startschirm = false;
        form.Anzeige_Setzen();
        form.Konten->setEditText(u"Test"_s);
        form.show();
    }
};

// The desktop's notification service, rendering markup in the body.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList bodies;
public slots:
    QStringList GetCapabilities() { return {u"body"_s, u"body-markup"_s}; }
    uint Notify(const QString&, uint, const QString&, const QString&, const QString& body, const QStringList&,
                const QVariantMap&, int)
    {
        bodies.append(body);
        return 1;
    }
};

} // namespace

// Scheduled checks on a connection of their own: what they leave on the
// server, when they hold back, and how they tell new mail from mail already seen.
class TestScheduledCheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void condemnedGoneRestKeptMailboxFree();
    void newMailByUidl();
    void newMailByMessageIdWithoutUidl();
    void failuresAskNobodyAndDeleteNothing();
    void userCheckFollowsAndHoldsTheSchedule();
    void silentServerTimesOutAndAHeldCheckWaitsWithoutSpinning();
    void closingTheWindowWhileACheckWaits();
    void beendenEndsTheProgramTheTitleBarGoesToTheTray_data();
    void beendenEndsTheProgramTheTitleBarGoesToTheTray();
    void notificationsWithoutATrayArePlainText();

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
};

void TestScheduledCheck::init()
{
    m_env = std::make_unique<TestEnvironment>();
    m_dialogs = std::make_unique<ScriptedDialogs>();
    writeList(m_env->path(u"init/Absender_User.ini"_s), "spammer@bulk.example\r\n");
    writeList(m_env->path(u"init/Betreff_User.ini"_s), "Gewinnspiel\r\n");
}

void TestScheduledCheck::cleanup()
{
    // Nothing here may ever show a box: nobody would be there to answer it.
    QVERIFY2(m_dialogs->messages().isEmpty(), qPrintable(m_dialogs->texts().join(u" | "_s)));
    m_dialogs.reset();
    m_env.reset();
}

void TestScheduledCheck::condemnedGoneRestKeptMailboxFree()
{
    if (!DovecotServer::isAvailable())
        QSKIP("dovecot is not installed (package dovecot-pop3d)");
    DovecotServer server;
    server.addMessage(message("Ann <ann@example.org>", "Treffen am Montag", "<a1@example.org>"));
    server.addMessage(message("spammer@bulk.example", "Hallo", "<s1@bulk.example>"));
    server.addMessage(message("bob@example.net", "Ihr Gewinnspiel", "<s2@example.net>"));
    server.addMessage(message("carl@example.net", "Protokoll", "<c1@example.net>"));
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    Harness h;
    h.account(1, server.host(), server.port(), server.user(), server.password());
    h.V.Loeschen_Absender = true;
    h.V.Loeschen_Betreff_Eigen = false; // the own subject list marks, but does not condemn
    h.V.Automatisch_Loeschen = true;
    h.check.configure();

    // Not while the user's own check holds a connection; at once when it is let go.
    h.userBusy = true;
    h.nextInterval();
    QVERIFY(h.outcomes.isEmpty());
    h.userBusy = false;
    h.tick();
    QCOMPARE(h.outcomes.size(), 1);
    const ScheduledCheck::Outcome& first = h.outcomes.last().second;
    QVERIFY2(first.ok, qPrintable(first.error));
    QCOMPARE(first.messages, 4);
    QCOMPARE(first.deleted, 1);
    QCOMPARE(first.waiting(), 3);
    QCOMPARE(first.fresh, 4);
    // QUIT made the deletion final at once, and only that one.
    QCOMPARE(server.storedMessageCount(), 3);
    QVERIFY(!h.check.Client()->Connected());

    // The mail program gets the mailbox straight away and takes two messages.
    TPop3Client mailProgram;
    mailProgram.Host = QString::fromLatin1(server.host());
    mailProgram.Port = server.port();
    mailProgram.UserID = QString::fromLatin1(server.user());
    mailProgram.Password = QString::fromLatin1(server.password());
    mailProgram.Connect();
    QCOMPARE(mailProgram.MessageCount(), 3);
    mailProgram.DeleteMessage(1);
    mailProgram.DeleteMessage(2);
    mailProgram.Disconnect();

    // Without the switch, a scheduled check deletes nothing, whatever the lists say.
    server.addMessage(message("spammer@bulk.example", "Noch einmal", "<s3@bulk.example>"));
    h.V.Automatisch_Loeschen = false;
    h.nextInterval();
    QCOMPARE(h.outcomes.size(), 2);
    const ScheduledCheck::Outcome& second = h.outcomes.last().second;
    QVERIFY2(second.ok, qPrintable(second.error));
    QCOMPARE(second.messages, 2);
    QCOMPARE(second.deleted, 0);
    QCOMPARE(second.fresh, 1);
    QCOMPARE(server.storedMessageCount(), 2);
}

void TestScheduledCheck::newMailByUidl()
{
    if (!DovecotServer::isAvailable())
        QSKIP("dovecot is not installed (package dovecot-pop3d)");
    DovecotServer server;
    // Two messages that share a Message-ID: only the server's ids tell them apart.
    server.addMessage(message("ann@example.org", "Eins", "<same@example.org>"));
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    Harness h;
    h.account(4, server.host(), server.port(), server.user(), server.password());
    h.check.configure();
    h.nextInterval();
    QCOMPARE(h.outcomes.size(), 1);
    QVERIFY2(h.outcomes.last().second.ok, qPrintable(h.outcomes.last().second.error));
    QCOMPARE(h.outcomes.last().first, 4);
    QCOMPARE(h.outcomes.last().second.fresh, 1);

    h.nextInterval();
    QCOMPARE(h.outcomes.last().second.fresh, 0);

    server.addMessage(message("ann@example.org", "Zwei", "<same@example.org>"));
    h.nextInterval();
    QCOMPARE(h.outcomes.size(), 3);
    QCOMPARE(h.outcomes.last().second.messages, 2);
    QCOMPARE(h.outcomes.last().second.fresh, 1);
}

void TestScheduledCheck::newMailByMessageIdWithoutUidl()
{
    // A server that offers no UIDL: the Message-ID decides, and numbers that
    // moved because the mail program fetched in between do not matter.
    auto summary = [](int n, const QByteArray& id) {
        return top(n, {"From: a@b", "Subject: Hallo", "Message-ID: " + id});
    };
    auto listing = [](int count) {
        FakeScript script = client("LIST") + server("+OK");
        for (int n = 1; n <= count; ++n)
            script += server(QByteArray::number(n) + " 10");
        return script + server(".");
    };
    FakePop3Server fake(greeting("+OK ready", {"USER", "TOP"}) + login("u", "p") + stat(2) + listing(2) +
                        summary(1, "<one@x>") + summary(2, "<two@x>") + quit());
    Harness h;
    h.account(1, "127.0.0.1", fake.port(), "u", "p");
    h.check.configure();
    h.nextInterval();
    QCOMPARE(h.outcomes.size(), 1);
    QVERIFY2(h.outcomes.last().second.ok, qPrintable(h.outcomes.last().second.error));
    QCOMPARE(h.outcomes.last().second.fresh, 2);
    FAKE_POP3_VERIFY(fake);

    fake.setScript(greeting("+OK ready", {"USER", "TOP"}) + login("u", "p") + stat(2) + listing(2) +
                   summary(1, "<two@x>") + summary(2, "<three@x>") + quit());
    h.nextInterval();
    QCOMPARE(h.outcomes.size(), 2);
    QVERIFY2(h.outcomes.last().second.ok, qPrintable(h.outcomes.last().second.error));
    QCOMPARE(h.outcomes.last().second.fresh, 1);
    FAKE_POP3_VERIFY(fake);
}

void TestScheduledCheck::failuresAskNobodyAndDeleteNothing()
{
    // A refused log-on fails the check without a prompt and without a retry.
    FakePop3Server fake(greeting() + client("USER u") + server("+OK") + client("PASS falsch") +
                        server("-ERR [AUTH] Authentication failed.") + quit());
    Harness h;
    h.account(1, "127.0.0.1", fake.port(), "u", "falsch");
    // Without a password known in this run the account takes part and is
    // reported skipped at its turn, once; one switched off does not take part.
    h.account(2, "127.0.0.1", fake.port(), "u", "");
    h.account(3, "127.0.0.1", fake.port(), "u", "p");
    h.V.Automatisch_Konto[3] = 0;
    QCOMPARE(h.check.eligibleAccounts(), (QList<int>{1, 2}));
    h.check.configure();
    h.nextInterval();
    QCOMPARE(h.outcomes.size(), 1);
    QVERIFY(!h.outcomes.last().second.ok);
    QVERIFY(!h.outcomes.last().second.error.isEmpty());
    FAKE_POP3_VERIFY(fake);
    QTRY_COMPARE(h.skipped, QList<int>{2});

    // A connection that breaks after a deletion ends without QUIT: the server keeps the message.
    h.V.Passwort[1] = u"p"_s;
    h.V.Loeschen_Absender = true;
    h.V.Automatisch_Loeschen = true;
    fake.setScript(greeting() + login("u", "p") + stat(2) + client("LIST") + server("+OK") + server("1 10") +
                   server("2 10") + server(".") + top(1, {"From: spammer@bulk.example", "Subject: x"}) + dele(1) +
                   client("TOP 2 0") + close());
    h.nextInterval();
    QCOMPARE(h.outcomes.size(), 2);
    QVERIFY(!h.outcomes.last().second.ok);
    QCOMPARE(h.outcomes.last().second.deleted, 0);
    FAKE_POP3_VERIFY(fake);

    // Switched off altogether, nothing runs.
    h.V.Automatisch = false;
    h.check.configure();
    h.nextInterval();
    QCOMPARE(h.outcomes.size(), 2);
    QCOMPARE(h.skipped, QList<int>{2});
}

void TestScheduledCheck::userCheckFollowsAndHoldsTheSchedule()
{
    // The scheduled check ends with QUIT before the user's check, pressed
    // while it listed, logs on; the user's connection then holds the schedule.
    auto listing = [](const QByteArray& subject) {
        return client("LIST") + server("+OK") + server("1 10") + server(".") +
               top(1, {"From: a@b", "Subject: " + subject});
    };
    FakePop3Server fake(greeting() + login("u", "p") + stat(1) + listing("Hallo") + quit() + close() + greeting() +
                        login("u", "p") + stat(1) + listing("Hallo"));
    SettingsStore().writeString(u"Programm"_s, u"First"_s, u"0"_s);
    SettingsStore().writeString(u"Programm"_s, u"Startschirm"_s, u"0"_s);
    ProgramWindows windows;
    TStammForm& form = windows.StammForm;
    form.show();
    Variabel& V = windows.state;
    V.Konto[1] = u"Test"_s;
    V.Host[1] = u"127.0.0.1"_s;
    V.Port[1] = fake.port();
    V.UserID[1] = u"u"_s;
    V.Passwort[1] = u"p"_s;
    V.Automatisch = true;
    V.Intervall = 1;
    form.Anzeige_Setzen();
    form.Konten->setEditText(u"Test"_s);

    TBackgroundCheck* background = form.BackgroundCheck();
    QVERIFY(background);
    bool pressed = false;
    QObject::connect(background->Client(), &TPop3Client::stateChanged, &form, [&](TPop3State state) {
        if (state == TPop3State::Listing && !pressed) {
            pressed = true;
            form.SBCheck->click();
        }
    });
    background->checkNow();
    QTRY_VERIFY2(form.Pop3Client1->Connected(),
                 qPrintable(windows.BerichtForm->lines().join(u" | "_s) + u" / "_s + fake.report() + u" / "_s +
                            m_dialogs->texts().join(u" | "_s)));
    QTRY_COMPARE(form.Tabelle->Cells(5, 1), u"Hallo"_s);
    FAKE_POP3_VERIFY(fake);
    QVERIFY(pressed);
    const QStringList automatic = windows.BerichtForm->lines().filter(u"Automatische Prüfung"_s);
    QCOMPARE(automatic.size(), 1);
    QVERIFY2(automatic.first().endsWith(u"Test: 1 warten, 1 neu, 0 gelöscht"_s), qPrintable(automatic.first()));

    // While the user's connection is open, nothing else logs on.
    background->checkNow();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    QVERIFY(!background->Running());
    QCOMPARE(windows.BerichtForm->lines().filter(u"Automatische Prüfung"_s).size(), 1);
    QVERIFY(fake.problems().isEmpty());
}

void TestScheduledCheck::silentServerTimesOutAndAHeldCheckWaitsWithoutSpinning()
{
    FakePop3Server fake(silence());
    Harness h;
    h.account(1, "127.0.0.1", fake.port(), "u", "p");
    h.check.configure();
    // The client's time-out is fired as soon as it runs rather than waited for.
    QTimer fire;
    connect(&fire, &QTimer::timeout, this, [&h] {
        if (h.check.Client()->TimerActive())
            h.check.Client()->TimerExpired();
    });
    fire.start(10);
    h.nextInterval();
    fire.stop();
    QCOMPARE(h.outcomes.size(), 1);
    QVERIFY2(h.outcomes[0].second.error.startsWith(u"Zeitüberschreitung"_s), qPrintable(h.outcomes[0].second.error));

    // Due while the user holds a connection, it is looked at again after a while; a
    // timer re-armed at once would have asked thousands of times before 2 is seen.
    fake.setScript(greeting() + login("u", "p") + stat(0) + quit());
    int asked = 0;
    h.check.UserBusy = [&asked] { return ++asked < 3; };
    h.nextInterval();
    QTRY_COMPARE(asked, 2);
    QTRY_COMPARE(h.outcomes.size(), 2);
    QVERIFY(h.outcomes[1].second.ok);
    FAKE_POP3_VERIFY(fake);
}

void TestScheduledCheck::closingTheWindowWhileACheckWaits()
{
    FakePop3Server fake(greeting() + login("u", "p") + client("STAT") + silence());
    Program p(fake.port());
    QSignalSpy closed(&p.form, &TStammForm::closed);
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (fake.received().contains("STAT\r\n") && closed.isEmpty())
            p.form.close();
    });
    closer.start(10);
    p.form.BackgroundCheck()->checkNow();
    QTRY_COMPARE(closed.size(), 1);
    // Given up without QUIT, whose answer could not be told from the one to STAT.
    QVERIFY(!p.form.BackgroundCheck()->Running());
    QVERIFY(!p.form.BackgroundCheck()->Client()->Connected());
    FAKE_POP3_VERIFY(fake);
}

void TestScheduledCheck::beendenEndsTheProgramTheTitleBarGoesToTheTray_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("ends");
    QTest::newRow("button Beenden") << u"SBClose"_s << true;
    QTest::newRow("menu Beenden") << u"Close1"_s << true;
    QTest::newRow("SIGTERM at log-out") << u"SIGTERM"_s << true;
    QTest::newRow("title bar") << u"close"_s << false;
}

void TestScheduledCheck::beendenEndsTheProgramTheTitleBarGoesToTheTray()
{
    QFETCH(QString, how);
    QFETCH(bool, ends);
    TStammForm::setTrayProbe([] { return true; });
    const auto noTray = qScopeGuard([] { TStammForm::setTrayProbe({}); });
    FakePop3Server fake(greeting() + login("u", "p") + stat(0) + (ends ? quit() : FakeScript()));
    Program p(fake.port());
    QTRY_VERIFY(p.form.TrayIcon());
    QVERIFY(clickCheck(p.form));
    QTRY_VERIFY(p.form.Pop3Client1->Connected());
    m_dialogs->clear();            // the check's "no messages" box
    TerminationSignal termination; // as the entry point connects it
    connect(&termination, &TerminationSignal::received, &p.form, [&p] { p.form.endProgram(); });
    QSignalSpy closed(&p.form, &TStammForm::closed);
    if (how == u"SBClose")
        QTest::mouseClick(p.form.SBClose, Qt::LeftButton);
    else if (how == u"Close1")
        p.form.Close1->trigger();
    else if (how == u"SIGTERM")
        std::raise(SIGTERM);
    else
        p.form.close();
    QTRY_VERIFY(!p.form.isVisible());
    FAKE_POP3_VERIFY(fake);
    QCOMPARE(closed.size(), ends ? 1 : 0);
    QCOMPARE(p.form.Pop3Client1->Connected(), !ends);
}

void TestScheduledCheck::notificationsWithoutATrayArePlainText()
{
    if (qEnvironmentVariable("POSTRELLA_PRIVATE_KEYRING") != u"bus"_s)
        QSKIP("runs only on the private session bus of keyring-session.sh bus");
    FakeNotifications service;
    QDBusConnection desktop = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"desktop"_s);
    QVERIFY(desktop.registerObject(u"/org/freedesktop/Notifications"_s, &service, QDBusConnection::ExportAllSlots));
    QVERIFY(desktop.registerService(u"org.freedesktop.Notifications"_s));
    // A server's refusal in the notification of a failed check, on a desktop without a tray.
    FakePop3Server fake(greeting() + login("u", "p") + client("STAT") + server("-ERR <b>Fehler</b> & mehr") + quit());
    Program p(fake.port());
    p.form.BackgroundCheck()->checkNow();
    QTRY_COMPARE(service.bodies.size(), 1);
    QVERIFY(!p.form.TrayIcon());
    QVERIFY2(service.bodies[0].endsWith(u"-ERR &lt;b&gt;Fehler&lt;/b&gt; &amp; mehr"_s), qPrintable(service.bodies[0]));
    FAKE_POP3_VERIFY(fake);
}

QTEST_MAIN(TestScheduledCheck)
#include "tst_scheduled_check.moc"
