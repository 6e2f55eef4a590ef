#include "BackgroundCheck.h"
#include "BerichtUn.h"
#include "CheckWait.h"
#include "FWPasswordDialog.h"
#include "FWPasswordUnit.h"
#include "FakePop3Server.h"
#include "ModelGrid.h"
#include "PasswordKeeper.h"
#include "ProgramWindows.h"
#include "SecretStore.h"
#include "SettingsStore.h"
#include "StatusLabel.h"
#include "StringGrid.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <ctime>

using namespace Qt::StringLiterals;
using namespace Pop3Script;

namespace {

// The functions that reach a real secret store run only inside
// keyring-session.sh, which gives them a private bus with a keyring of their
// own ("keyring") or no bus at all ("nobus"): never the user's keyring.
#define REQUIRE_SECRET_SESSION(mode)                                                                                   \
    do {                                                                                                               \
        if (qEnvironmentVariable("POSTRELLA_PRIVATE_KEYRING") != QLatin1StringView(mode))                              \
            QSKIP("runs only inside keyring-session.sh " mode);                                                        \
    } while (false)

// What the desktop's own tool finds in the keyring for the account.
QString lookedUp(const QString& account)
{
    QProcess tool;
    tool.start(u"secret-tool"_s, {u"lookup"_s, u"server"_s, KeychainSecretStore::Service, u"user"_s, account});
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
        return u"<none>"_s;
    return QString::fromUtf8(tool.readAllStandardOutput());
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The program as a user starts it, on the settings and secret store of the test.
struct Program
{
    ScriptedDialogs dialogs;
    std::unique_ptr<ProgramWindows> windows = std::make_unique<ProgramWindows>();
    int prompts = 0;
    QString typed; // what the user types into the password prompt

    explicit Program(const QString& password = QString()) : typed(password)
    {
        TFWPassword::setDialogHook([this](TFWPasswordDialog& dialog) {
            ++prompts;
            QTimer::singleShot(0, &dialog, [&dialog, password = typed] {
                dialog.Get1()->setText(password);
                dialog.PwButton2()->click();
            });
        });
        form().show();
    }
    ~Program() { TFWPassword::setDialogHook({}); }
    TStammForm& form() { return windows->StammForm; }
    Variabel& state() { return windows->state; }
    void check(const QString& account)
    {
        form().Konten->setEditText(account);
        QVERIFY(clickCheck(form()));
    }
    void close() { form().close(); }
};

void writeSettings(const QList<std::pair<QString, QString>>& values)
{
    SettingsStore store;
    store.writeString(u"Programm"_s, u"Startschirm"_s, u"0"_s);
    for (const auto& [key, value] : values) {
        const qsizetype slash = key.indexOf(u'/');
        store.writeString(key.left(slash), key.mid(slash + 1), value);
    }
}

// The settings of an earlier version that kept the password in the file.
QList<std::pair<QString, QString>> keptAccount(int slot, const QString& name, const QString& user, quint16 port,
                                               const QString& password)
{
    const QString n = QString::number(slot);
    QList<std::pair<QString, QString>> values{{u"Programm/First"_s, u"0"_s},
                                              {u"Programm/Passwort_Sichern"_s, u"1"_s},
                                              {u"eMail/Konto"_s + n, name},
                                              {u"eMail/Host"_s + n, u"127.0.0.1"_s},
                                              {u"eMail/Port"_s + n, QString::number(port)},
                                              {u"eMail/UserID"_s + n, user}};
    if (!password.isEmpty())
        values.append({u"eMail/Passwort"_s + n, password});
    return values;
}

void account(Variabel& v, int slot, const QString& name, const QString& user, quint16 port)
{
    v.Konto[slot] = name;
    v.UserID[slot] = user;
    v.Host[slot] = u"127.0.0.1"_s;
    v.Port[slot] = port;
}

// A secret service that takes every call and never answers, as a hung
// keyring or an unlock prompt nobody answers does.
class SilentSecretService : public QDBusVirtualObject
{
public:
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
    QString introspect(const QString&) const override { return {}; }
};

} // namespace

class TestKeyring : public QObject
{
    Q_OBJECT

private slots:
    void wizardPasswordIsKeptInTheKeyringAndServesTheRestart();
    void oldSettingsFilePasswordMovesIntoTheKeyring();
    void entriesFollowTheSettingsWindow();
    void withoutKeyringPasswordsAreAskedForAndNeverWritten();
    void typedPasswordIsKeptOnlyOnceTheServerTookIt();
    void silentStoreTimesOutWithoutSpinning();
    void scheduledCheckReadsTheKeyringAndNamesWhatItSkips();
};

void TestKeyring::wizardPasswordIsKeptInTheKeyringAndServesTheRestart()
{
    REQUIRE_SECRET_SESSION("keyring");
    TestEnvironment env;
    KeychainSecretStore keyring;
    SecretStore::setInstance(&keyring);
    writeSettings({});
    FakePop3Server fake(greeting() + login("anna", "wizard-geheim") + stat(0));
    {
        Program p;
        TStammForm& f = p.form();
        QVERIFY(f.PFirst->isVisible());
        QTest::keyClicks(f.EKonto, u"Zuhause"_s);
        f.CBSicherheit->setCurrentText(Variabel::SecurityNone); // the fake server speaks plain POP3
        f.EPort->setText(QString::number(fake.port()));
        QTest::mouseClick(f.PFirst->findChild<QToolButton*>(u"SpeedButton2"_s), Qt::LeftButton);
        QTest::keyClicks(f.EHost, u"127.0.0.1"_s);
        QTest::keyClicks(f.EUser, u"anna"_s);
        QTest::keyClicks(f.EPasswort, u"wizard-geheim"_s);
        f.CBPasswort->click();
        QTest::mouseClick(f.PFirst->findChild<QToolButton*>(u"SpeedButton3"_s), Qt::LeftButton);
        p.close();
        QCOMPARE(p.dialogs.texts(), QStringList());
    }
    QVERIFY(!fileBytes(env.settingsFile()).contains("wizard-geheim"));
    QVERIFY(!fileBytes(env.settingsFile()).contains("Passwort1"));
    QCOMPARE(lookedUp(u"Zuhause (anna@127.0.0.1)"_s), u"wizard-geheim"_s);

    // Started again, the check logs on with the kept password and asks nothing.
    Program again;
    QCOMPARE(again.state().Passwort[1], QString()); // read only when a check needs it
    again.check(u"Zuhause"_s);
    QCOMPARE(again.prompts, 0);
    QCOMPARE(again.dialogs.texts(), QStringList{again.form().GetText(43)});
    FAKE_POP3_VERIFY(fake);
}

void TestKeyring::oldSettingsFilePasswordMovesIntoTheKeyring()
{
    REQUIRE_SECRET_SESSION("keyring");
    TestEnvironment env;
    KeychainSecretStore keyring;
    SecretStore::setInstance(&keyring);
    FakePop3Server fake(greeting() + login("bert", "alt-geheim") + stat(0) + quit());
    writeSettings(keptAccount(2, u"Alt"_s, u"bert"_s, fake.port(), u"alt-geheim"_s) +
                  QList<std::pair<QString, QString>>{{u"eMail/Passwort5"_s, QString()}});
    QVERIFY(fileBytes(env.settingsFile()).contains("alt-geheim"));

    Program p;
    // Moved at start, before anything else is written.
    QTRY_VERIFY(!fileBytes(env.settingsFile()).contains("alt-geheim"));
    QCOMPARE(lookedUp(u"Alt (bert@127.0.0.1)"_s), u"alt-geheim"_s);
    QVERIFY(!fileBytes(env.settingsFile()).contains("alt-geheim"));
    QVERIFY(!fileBytes(env.settingsFile()).contains("Passwort2"));
    QVERIFY(!fileBytes(env.settingsFile()).contains("Passwort5"));
    p.check(u"Alt"_s);
    QCOMPARE(p.prompts, 0);
    p.close();
    QVERIFY(!fileBytes(env.settingsFile()).contains("alt-geheim"));
    FAKE_POP3_VERIFY(fake);
}

void TestKeyring::entriesFollowTheSettingsWindow()
{
    REQUIRE_SECRET_SESSION("keyring");
    TestEnvironment env;
    KeychainSecretStore keyring;
    SecretStore::setInstance(&keyring);
    writeSettings({{u"Programm/First"_s, u"0"_s}, {u"Programm/Passwort_Sichern"_s, u"1"_s}});
    Program p;
    for (int n = 1; n <= 4; ++n) {
        account(p.state(), n, u"Konto"_s + QString::number(n), u"user"_s, 110);
        p.state().Passwort[n] = u"pw"_s + QString::number(n);
        p.form().Passwords().keep(n);
    }
    QCOMPARE(lookedUp(u"Konto4 (user@127.0.0.1)"_s), u"pw4"_s);
    // Kept by an earlier run: not read yet, but the window shows that it is kept.
    account(p.state(), 5, u"Konto5"_s, u"user"_s, 110);
    QCOMPARE(keyring.write(u"Konto5 (user@127.0.0.1)"_s, u"pw5"_s).outcome, SecretStore::Outcome::Done);
    p.form().Anzeige_Setzen();

    TSetupForm& setup = *p.windows->SetupForm;
    p.form().Setup1->trigger();
    TStringGrid* grid = setup.Tabelle;
    QCOMPARE(grid->Cells(4, 1), TSetupForm::PasswordMask);
    QCOMPARE(grid->Cells(4, 5), TSetupForm::PasswordMask);
    grid->setCells(4, 1, QString());         // password cleared
    grid->setCells(0, 2, QString());         // account removed
    grid->setCells(3, 3, u"neu"_s);          // user id changed: the entry moves
    grid->setCells(4, 4, u"pw4-geändert"_s); // new password
    QTest::mouseClick(setup.SBestaetigen, Qt::LeftButton);
    QCOMPARE(lookedUp(u"Konto1 (user@127.0.0.1)"_s), u"<none>"_s);
    QCOMPARE(lookedUp(u"Konto2 (user@127.0.0.1)"_s), u"<none>"_s);
    QCOMPARE(lookedUp(u"Konto3 (user@127.0.0.1)"_s), u"<none>"_s);
    QCOMPARE(lookedUp(u"Konto3 (neu@127.0.0.1)"_s), u"pw3"_s);
    QCOMPARE(lookedUp(u"Konto4 (user@127.0.0.1)"_s), u"pw4-geändert"_s);

    // Turning the switch off removes every entry.
    p.form().Setup1->trigger();
    setup.FBPasswort->click();
    QTest::mouseClick(setup.SBestaetigen, Qt::LeftButton);
    for (const QString& gone :
         {u"Konto3 (neu@127.0.0.1)"_s, u"Konto4 (user@127.0.0.1)"_s, u"Konto5 (user@127.0.0.1)"_s})
        QCOMPARE(lookedUp(gone), u"<none>"_s);
    QCOMPARE(p.dialogs.texts(), QStringList());
    p.close();
    QVERIFY(!fileBytes(env.settingsFile()).contains("pw"));
}

void TestKeyring::withoutKeyringPasswordsAreAskedForAndNeverWritten()
{
    REQUIRE_SECRET_SESSION("nobus");
    TestEnvironment env;
    // Short, so that a store that hangs instead of failing shows as a failure here.
    KeychainSecretStore keyring(20000);
    SecretStore::setInstance(&keyring);
    FakePop3Server fake(greeting() + login("bert", "alt-geheim") + stat(0));
    writeSettings(keptAccount(1, u"Alt"_s, u"bert"_s, fake.port(), u"alt-geheim"_s) +
                  keptAccount(2, u"Neu"_s, u"cora"_s, fake.port(), QString()));
    {
        Program p(u"getippt"_s);
        // Told once, in the log and in one box, at start.
        QTRY_COMPARE(p.dialogs.messages().size(), 1);
        QCOMPARE(p.dialogs.messages()[0].kind, Dialogs::Kind::Warning);
        QVERIFY(p.dialogs.texts()[0].contains(u"Schlüsselbund"_s));
        const QString staying = u"Die Passwörter von \"Alt\" aus einer früheren Version bleiben darum als Klartext "_s +
                                u"in der Einstellungsdatei, bis ein Schlüsselbund erreichbar ist"_s;
        QVERIFY2(p.dialogs.texts()[0].contains(staying), qPrintable(p.dialogs.texts()[0]));
        QCOMPARE(p.windows->BerichtForm->lines().size(), 1);
        QVERIFY(p.windows->BerichtForm->lines()[0].startsWith(u"Error: "_s));
        QVERIFY(p.windows->BerichtForm->lines()[0].contains(staying));
        // The store did not take the old password, so the file keeps it.
        QVERIFY(fileBytes(env.settingsFile()).contains("alt-geheim"));

        // The old password still serves this run; the other account is asked for.
        p.dialogs.clear();
        p.check(u"Alt"_s);
        QCOMPARE(p.prompts, 0);
        fake.setScript(quit() + close() + greeting() + login("cora", "getippt") + stat(0) + quit());
        p.check(u"Neu"_s);
        QCOMPARE(p.prompts, 1);
        QCOMPARE(p.dialogs.texts(), (QStringList{p.form().GetText(43), p.form().GetText(43)}));
        p.close();
        FAKE_POP3_VERIFY(fake);
    }
    QVERIFY(!fileBytes(env.settingsFile()).contains("getippt"));

    // The next run asks again for the password that could not be kept.
    fake.setScript(greeting() + login("cora", "getippt") + stat(0));
    Program again(u"getippt"_s);
    again.check(u"Neu"_s);
    QCOMPARE(again.prompts, 1);
    FAKE_POP3_VERIFY(fake);
}

void TestKeyring::typedPasswordIsKeptOnlyOnceTheServerTookIt()
{
    TestEnvironment env;
    MemorySecretStore& secrets = env.secrets();
    writeSettings({{u"Programm/First"_s, u"0"_s}, {u"Programm/Passwort_Sichern"_s, u"1"_s}});
    FakePop3Server fake(greeting() + client("USER anna") + server("+OK") + client("PASS vertippt") +
                        server("-ERR [AUTH] Authentication failed.") + quit());
    Program p(u"vertippt"_s);
    account(p.state(), 1, u"Privat"_s, u"anna"_s, fake.port());
    p.form().Anzeige_Setzen();
    p.check(u"Privat"_s);
    QCOMPARE(p.prompts, 1);
    QVERIFY(secrets.entries.isEmpty());
    FAKE_POP3_VERIFY(fake);

    // After the refusal the prompt comes again; the password the server takes is kept.
    p.typed = u"richtig"_s;
    fake.setScript(greeting() + login("anna", "richtig") + stat(0));
    p.check(u"Privat"_s);
    QCOMPARE(p.prompts, 2);
    QCOMPARE(secrets.entries, (QMap<QString, QString>{{u"Privat (anna@127.0.0.1)"_s, u"richtig"_s}}));
    FAKE_POP3_VERIFY(fake);
}

void TestKeyring::silentStoreTimesOutWithoutSpinning()
{
    REQUIRE_SECRET_SESSION("bus");
    QDBusConnection bus = QDBusConnection::sessionBus();
    SilentSecretService service;
    QVERIFY(bus.registerVirtualObject(u"/org/freedesktop/secrets"_s, &service, QDBusConnection::SubPath));
    QVERIFY(bus.registerService(u"org.freedesktop.secrets"_s));

    KeychainSecretStore store(1500);
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(100);
    QElapsedTimer wall;
    wall.start();
    const std::clock_t cpu = std::clock();
    const SecretStore::Result result = store.read(u"Privat (anna@pop.example.org)"_s);
    const double cpuSeconds = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    QCOMPARE(result.outcome, SecretStore::Outcome::Unavailable);
    QVERIFY2(wall.elapsed() >= 1400 && wall.elapsed() < 10000, qPrintable(QString::number(wall.elapsed())));
    QVERIFY2(ticks >= 8, "the program's events ran on while it waited");
    QVERIFY2(cpuSeconds < 0.5, qPrintable(QString::number(cpuSeconds)));
}

void TestKeyring::scheduledCheckReadsTheKeyringAndNamesWhatItSkips()
{
    TestEnvironment env;
    env.secrets().entries.insert(u"Privat (anna@127.0.0.1)"_s, u"aus-dem-bund"_s);
    FakePop3Server fake(greeting() + login("anna", "aus-dem-bund") + stat(0) + quit());
    // Started at log-in; the second account's password is in no keyring.
    writeSettings(keptAccount(1, u"Privat"_s, u"anna"_s, fake.port(), QString()) +
                  keptAccount(2, u"Verein"_s, u"bert"_s, fake.port(), QString()) +
                  QList<std::pair<QString, QString>>{{u"Programm/Automatisch"_s, u"1"_s}});
    Program p;
    p.form().BackgroundCheck()->checkNow(); // the tray's "Jetzt prüfen"
    FAKE_POP3_VERIFY(fake);
    const QString skipped = u"Verein: übersprungen. Das Passwort ist nicht im Schlüsselbund gespeichert."_s;
    QTRY_VERIFY(p.form().LStatus->text().contains(skipped));
    QCOMPARE(p.windows->BerichtForm->lines().filter(skipped).size(), 1);
    QCOMPARE(p.prompts, 0);
    QCOMPARE(p.dialogs.texts(), QStringList());
}

QTEST_MAIN(TestKeyring)
#include "tst_keyring.moc"
