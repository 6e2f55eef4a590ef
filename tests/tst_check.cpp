#include "CheckProgram.h"

using namespace CheckProgram;

namespace {

// A listener whose queue is full and that accepts nothing: a connect to it
// neither succeeds nor is refused.
struct StuckListener
{
    QTcpServer server;
    QTcpSocket filler;

    StuckListener()
    {
        server.setListenBacklogSize(0);
        if (!server.listen(QHostAddress::LocalHost, 0))
            return;
        server.pauseAccepting();
        filler.connectToHost(QHostAddress::LocalHost, server.serverPort());
        filler.waitForConnected(3000);
    }
    bool ready() const { return filler.state() == QAbstractSocket::ConnectedState; }
    quint16 port() const { return server.serverPort(); }
};

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace

class TestCheck : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { TFWPassword::setDialogHook({}); }
    void emptyMailboxKeepsTheConnection();
    void sizesFollowTheUnit_data();
    void sizesFollowTheUnit();
    void condemnedMessagesAreDeletedAndReported_data();
    void condemnedMessagesAreDeletedAndReported();
    void disconnectDuringAListingKeepsTheRows();
    void refusedLogonAsksForThePasswordNextTime();
    void unresolvableHostIsLogged();
    void refusedConnectionIsLogged();
    void noEncryptionOfferedSendsNoPassword_data();
    void noEncryptionOfferedSendsNoPassword();
    void connectTimeOutIsLogged();
    void disconnectWhileConnectingEndsTheCheck();
    void failureWhileListingKeepsTheRows();
    void lastSlotOfADescriptionWins();
    void noAccountChosen();
    void listSavedDuringACheckTakesEffect();
    void refusedStatShowsTheDisconnectedWindow();
};

void TestCheck::emptyMailboxKeepsTheConnection()
{
    Program p;
    FakePop3Server fake(greeting() + login("u", "p") + stat(0) + quit());
    p.account(1, u"Test"_s, fake.host(), fake.port());
    p.check();
    QCOMPARE(p.dialogs.texts(), QStringList{p.text(43)});
    QCOMPARE(p.dialogs.messages()[0].kind, Dialogs::Kind::Information);
    QCOMPARE(p.form().LAnzahl->text(), u"0"_s);
    QCOMPARE(p.form().Tabelle->RowCount(), 1); // the header alone
    QVERIFY(p.form().Pop3Client1->Connected());
    QVERIFY(p.form().LEDOnline->Lit());
    QVERIFY(p.form().SBCheck->isEnabled());
    p.form().close(); // QUIT at the end
    QVERIFY(!p.form().LEDOnline->Lit());
    FAKE_POP3_VERIFY(fake);
}

void TestCheck::sizesFollowTheUnit_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("KByte drops the remainder")
        << u"KByte"_s << QList<int>{1023, 1024, 5000} << QStringList{u"0"_s, u"1"_s, u"4"_s};
    QTest::newRow("MByte divides twice") << u"MByte"_s << QList<int>{3145727} << QStringList{u"2"_s};
    QTest::newRow("Byte as it is") << u"Byte"_s << QList<int>{17} << QStringList{u"17"_s};
    QTest::newRow("unknown unit leaves the cell empty") << u"GByte"_s << QList<int>{17} << QStringList{QString()};
}

void TestCheck::sizesFollowTheUnit()
{
    QFETCH(QString, unit);
    QFETCH(QList<int>, sizes);
    QFETCH(QStringList, shown);
    Program p;
    QList<std::tuple<int, QByteArray, QByteArray>> messages;
    for (int size : sizes)
        messages.append({size, "anna@example.org", "Hallo"});
    FakePop3Server fake(greeting() + login("u", "p") + stat(int(sizes.size())) + listing(messages));
    p.state().Angabe = unit;
    p.form().Einrichten();
    p.account(1, u"Test"_s, fake.host(), fake.port());
    p.check();
    FAKE_POP3_VERIFY(fake);
    QCOMPARE(p.form().Tabelle->Cells(3, 0), unit);
    QCOMPARE(p.column(3), shown);
    QCOMPARE(p.column(4).constFirst(), u"anna@example.org"_s); // as read, without the blank after the colon
    QCOMPARE(p.form().LAnzahl->text(), QString::number(sizes.size()));
    QVERIFY(!p.form().LEDCheck->Lit());
    QVERIFY(!p.form().PWarten->isVisible());
    QVERIFY(p.dialogs.messages().isEmpty());
}

void TestCheck::condemnedMessagesAreDeletedAndReported_data()
{
    const QList<QByteArray> headers[] = {
        {"From: spam@x.org", "Subject: Hallo"},
        {"From: anna@example.org", "Subject: Viagra billig"},
        {"From: bob@example.org", "Subject: Angebot des Tages"},
        {"From: spam@y.org", "Subject: Sofortkredit"},
    };
    const FakeScript listed = client("LIST") + server("+OK") + server("1 100") + server("2 200") + server("3 300") +
                              server("4 400") + server(".");
    QTest::addColumn<FakeScript>("script");
    // Condemned messages are deleted right after their summary.
    QTest::newRow("one at a time") << greeting() + login("u", "p") + stat(4) + listed + top(1, headers[0]) + dele(1) +
                                          top(2, headers[1]) + dele(2) + top(3, headers[2]) + top(4, headers[3]) +
                                          dele(4);
    // The same grid when the summaries are asked for ahead: each DELE joins the stream.
    QTest::newRow("pipelined") << greeting("+OK POP3 server ready", {"PIPELINING"}) + login("u", "p") + stat(4) +
                                      listed + summaryCommands(1, 4) + topReply(headers[0]) + client("DELE 1") +
                                      topReply(headers[1]) + client("DELE 2") + topReply(headers[2]) +
                                      topReply(headers[3]) + server("+OK") + server("+OK") + client("DELE 4") +
                                      server("+OK");
}

void TestCheck::condemnedMessagesAreDeletedAndReported()
{
    QFETCH(FakeScript, script);
    Program p;
    QFile senders(p.env.path(u"init/Absender_User.ini"_s));
    QVERIFY(senders.open(QIODevice::WriteOnly));
    senders.write("spam@\r\n");
    senders.close();
    QFile own(p.env.path(u"init/Betreff_User.ini"_s));
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.write("Angebot\r\nAngebot des\r\n");
    own.close();
    p.state().Loeschen_Betreff = true;
    p.state().Loeschen_Betreff_Eigen = false;
    p.state().Loeschen_Absender = true;

    FakePop3Server fake(script);
    p.account(1, u"Test"_s, fake.host(), fake.port());
    p.check();
    FAKE_POP3_VERIFY(fake);
    QCOMPARE(p.column(2), (QStringList{u"F#"_s, u"S#"_s, u"SE"_s, u"S#"_s}));
    QVERIFY(p.form().LEDAbsender->Lit() && p.form().LEDBetreff->Lit() && p.form().LEDMessages->Lit());
    // One box per list with deletions, system list first; message 4 counts once in each list.
    QCOMPARE(p.dialogs.texts(),
             (QStringList{u"2"_s + p.text(35) + u'\r' + p.text(36), u"2"_s + p.text(35) + u'\r' + p.text(38)}));
}

void TestCheck::refusedLogonAsksForThePasswordNextTime()
{
    Program p;
    FakePop3Server fake(greeting() + client("USER u") + server("+OK") + client("PASS p") +
                        server("-ERR [AUTH] Authentication failed.") + quit());
    p.account(1, u"Test"_s, fake.host(), fake.port());
    int prompts = 0;
    TFWPassword::setDialogHook([&prompts](TFWPasswordDialog& dialog) {
        ++prompts;
        QTimer::singleShot(0, &dialog, [&dialog] {
            dialog.Get1()->setText(u"richtig"_s);
            dialog.PwButton2()->click();
        });
    });
    p.check();
    QCOMPARE(prompts, 0);
    QCOMPARE(p.dialogs.texts().size(), 2);
    QCOMPARE(p.dialogs.texts()[0], p.text(106));
    QCOMPARE(p.dialogs.texts()[1], u"Fehler - Nähere Informationen im Protokoll"_s);
    QCOMPARE(p.log().size(), 1);
    QVERIFY(p.log()[0].startsWith(u"Error: "_s));
    QVERIFY(p.form().SBCheck->isEnabled());

    fake.setScript(greeting() + login("u", "richtig") + stat(0));
    p.check();
    QCOMPARE(prompts, 1);
    QCOMPARE(p.state().Passwort[1], u"richtig"_s);
    FAKE_POP3_VERIFY(fake);
}

void TestCheck::unresolvableHostIsLogged()
{
    Program p;
    p.account(1, u"Test"_s, "no-such-host.invalid", 110);
    p.check();
    QCOMPARE(p.log(), (QStringList{u"Error: 11001"_s, u"Error: Null Externe Adresse"_s,
                                   u"Es konnte kein Kontakt zum Internet hergestellt werden."_s}));
    QCOMPARE(p.dialogs.texts(),
             (QStringList{p.text(109) + u'\r' + p.text(108), u"Fehler - Nähere Informationen im Protokoll"_s}));
    QVERIFY(p.form().SBCheck->isEnabled());
    QVERIFY(!p.form().PWarten->isVisible());
}

void TestCheck::refusedConnectionIsLogged()
{
    Program p;
    p.account(1, u"Test"_s, "127.0.0.1", closedPort());
    p.check();
    QCOMPARE(p.log().size(), 2);
    QCOMPARE(p.log()[0], u"Error: 10061"_s);
    QVERIFY(p.log()[1].startsWith(u"Error: "_s));
    QCOMPARE(p.dialogs.texts(),
             (QStringList{p.text(107) + u'\r' + p.text(108), u"Fehler - Nähere Informationen im Protokoll"_s}));
    QVERIFY(p.form().SBCheck->isEnabled());
    QCOMPARE(p.form().LAnzahl->text(), u"0"_s);
}

void TestCheck::noEncryptionOfferedSendsNoPassword_data()
{
    QTest::addColumn<QString>("security");
    QTest::addColumn<FakeScript>("script");
    QTest::addColumn<QString>("logged");
    QTest::newRow("no STLS") << u"STARTTLS"_s << greeting("+OK ready", {"USER"}) + quit()
                             << u"Error: STLS fehlt in der Antwort auf CAPA. "
                                u"Der Server bietet keine verschlüsselte Verbindung an."_s;
    QTest::newRow("STLS refused") << u"STARTTLS"_s
                                  << greeting("+OK ready", {"STLS"}) + client("STLS") + server("-ERR no") + quit()
                                  << u"Error: STLS abgelehnt (-ERR no). "
                                     u"Der Server bietet keine verschlüsselte Verbindung an."_s;
    QTest::newRow("server speaks no TLS")
        << u"SSL/TLS"_s << server("+OK POP3 ready") << u"Error: TLS-Handshake fehlgeschlagen"_s;
}

void TestCheck::noEncryptionOfferedSendsNoPassword()
{
    QFETCH(QString, security);
    QFETCH(FakeScript, script);
    QFETCH(QString, logged);
    FakePop3Server fake(script);
    Program p;
    p.account(1, u"Test"_s, fake.host(), fake.port());
    p.state().Sicherheit[1] = security;
    p.check();
    QCOMPARE(p.log().size(), 1);
    QVERIFY2(p.log().constFirst().startsWith(logged), qPrintable(p.log().constFirst()));
    QCOMPARE(p.dialogs.texts(), QStringList{u"Fehler - Nähere Informationen im Protokoll"_s});
    for (const QByteArray& line : fake.received())
        QVERIFY2(!line.startsWith("USER") && !line.startsWith("PASS"), line.constData());
    QVERIFY(p.form().SBCheck->isEnabled());
    QVERIFY(!p.form().LEDOnline->Lit());
}

void TestCheck::connectTimeOutIsLogged()
{
    StuckListener full;
    QVERIFY(full.ready());

    Program p;
    p.account(1, u"Test"_s, "127.0.0.1", full.port());
    p.form().Pop3Client1->TimeOut = 200;
    p.check();
    QCOMPARE(p.log(), (QStringList{u"Error: 10060"_s, u"Error: Zeitüberschreitung bei Verbindung"_s}));
    QCOMPARE(p.dialogs.texts(),
             (QStringList{p.text(107) + u'\r' + p.text(108), u"Fehler - Nähere Informationen im Protokoll"_s}));
    QCOMPARE(serverCommandsEnabled(p.form()), kAllFree);
}

void TestCheck::disconnectWhileConnectingEndsTheCheck()
{
    StuckListener full;
    QVERIFY(full.ready());

    Program p;
    p.account(1, u"Test"_s, "127.0.0.1", full.port());
    p.form().Pop3Client1->TimeOut = 3000;
    QTimer::singleShot(0, &p.form(), [&p] { p.form().Disconnect1->trigger(); });
    QElapsedTimer clock;
    clock.start();
    p.check();
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed()) + u" ms"_s));
    QVERIFY(p.log().isEmpty());
    QVERIFY(p.dialogs.messages().isEmpty());
    QVERIFY(!p.form().Pop3Client1->Connected());
    QCOMPARE(serverCommandsEnabled(p.form()), kAllFree);
}

void TestCheck::failureWhileListingKeepsTheRows()
{
    Program p;
    p.state().Loeschen_Betreff = true;
    FakePop3Server fake(greeting() + login("u", "p") + stat(3) + client("LIST") + server("+OK") + server("1 10") +
                        server("2 20") + server("3 30") + server(".") + top(1, {"From: a@b", "Subject: Sofortkredit"}) +
                        dele(1) + client("TOP 2 0") + server("+OK") + server("From: c@d") + close());
    p.account(1, u"Test"_s, fake.host(), fake.port());
    p.check();
    FAKE_POP3_VERIFY(fake);
    QCOMPARE(p.form().Tabelle->Cells(5, 1), u"Sofortkredit"_s);
    // Closed without QUIT: the deletion of message 1 was not made, and the row says so.
    QCOMPARE(p.form().Tabelle->Cells(2, 1), u"S"_s);
    QVERIFY(p.form().LEDCheck->Lit());
    QVERIFY(!p.form().PWarten->isVisible()); // the notice does not outlive a failed summary
    QVERIFY(p.form().SBCheck->isEnabled());
    // No deletion report, only the deletion not made and the failure.
    QCOMPARE(p.dialogs.texts().size(), 2);
    QVERIFY(p.dialogs.texts()[0].startsWith(u"1 Löschung(en) wurde(n) auf dem Server nicht ausgeführt"_s));
    QCOMPARE(p.dialogs.texts()[1], u"Fehler - Nähere Informationen im Protokoll"_s);
    QVERIFY(!p.log().isEmpty());
}

void TestCheck::disconnectDuringAListingKeepsTheRows()
{
    // Disconnect from the menu while the list comes in: the listing ends, the
    // rows so far stay and nothing is reported as a failure.
    Program p;
    FakePop3Server fake(greeting("+OK POP3 server ready", {"PIPELINING"}) + login("u", "p") + stat(3) + client("LIST") +
                        server("+OK") + server("1 10") + server("2 20") + server("3 30") + server(".") +
                        summaryCommands(1, 3) + topReply({"From: a@b", "Subject: eins"}) +
                        topReply({"From: a@b", "Subject: zwei"}) + topReply({"From: a@b", "Subject: drei"}) + quit());
    p.account(1, u"Test"_s, fake.host(), fake.port());
    QStringList progress;
    QObject::connect(&p.form().Check(), &CheckEngine::rowScreened, &p.form(), [&p, &progress](int number) {
        progress << p.form().LStatus->text();
        if (number == 2)
            p.form().Disconnect1->trigger();
    });
    p.check();
    FAKE_POP3_VERIFY(fake);
    QCOMPARE(progress.first(), u"Status: 1 von 3"_s);
    QCOMPARE(p.column(5), (QStringList{u"eins"_s, u"zwei"_s}));
    QVERIFY(p.dialogs.texts().isEmpty());
    QVERIFY(!p.form().LEDOnline->Lit());
    QVERIFY(!p.form().PWarten->isVisible());
    QVERIFY(p.form().SBCheck->isEnabled());
    QVERIFY(p.form().Tabelle->updatesEnabled());
}

void TestCheck::lastSlotOfADescriptionWins()
{
    Program p;
    FakePop3Server fake(greeting() + login("zwei", "pw2") + stat(0));
    p.account(2, u"Gleich"_s, "no-such-host.invalid", 110, u"eins"_s, u"pw1"_s);
    p.account(5, u"Gleich"_s, fake.host(), fake.port(), u"zwei"_s, u"pw2"_s);
    p.check();
    FAKE_POP3_VERIFY(fake);
    QVERIFY(p.log().isEmpty());
}

void TestCheck::noAccountChosen()
{
    Program p;
    p.form().Konten->setEditText(QString());
    p.check();
    QCOMPARE(p.dialogs.texts(),
             QStringList{u"Sie haben kein eMail-Konto ausgwählt, bzw\rmüssen Sie erst ein eMail-Konto zuweisen\r"
                         u"Dies können Sie unter \"Einstellungen\" vornehmen."_s});
    QCOMPARE(p.dialogs.messages()[0].kind, Dialogs::Kind::Error);
    QVERIFY(p.form().SBCheck->isEnabled());
    QVERIFY(!p.form().Pop3Client1->Connected());
}

void TestCheck::listSavedDuringACheckTakesEffect()
{
    // The lists are read once per check, but a list saved between two
    // messages screens the next one.
    Program p;
    const QString own = p.env.path(u"init/Betreff_User.ini"_s);
    FakePop3Server fake(greeting() + login("u", "p") + stat(2) +
                        listing({{10, "a@b", "Neuer Treffer"}, {20, "a@b", "Neuer Treffer"}}));
    p.account(1, u"Test"_s, fake.host(), fake.port());
    QObject::connect(&p.form().Check(), &CheckEngine::rowScreened, &p.form(), [own] {
        QFile file(own);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Treffer\r\n");
    });
    p.check();
    FAKE_POP3_VERIFY(fake);
    QCOMPARE(p.column(2), (QStringList{QString(), u"SE"_s}));
}

void TestCheck::refusedStatShowsTheDisconnectedWindow()
{
    // A check listed two messages; the next one is refused at STAT.
    Program p;
    FakePop3Server fake(greeting() + login("u", "p") + stat(2) + listing({{10, "a@b", "Eins"}, {20, "a@b", "Zwei"}}) +
                        quit() + close() + greeting() + login("u", "p") + client("STAT") +
                        server("-ERR [IN-USE] Mailbox gesperrt") + quit());
    p.account(1, u"Test"_s, fake.host(), fake.port());
    p.check();
    QCOMPARE(p.form().LAnzahl->text(), u"2"_s);
    p.check();
    FAKE_POP3_VERIFY(fake);
    QCOMPARE(p.form().LAnzahl->text(), u"0"_s);
    QVERIFY(!p.form().LEDOnline->Lit());
    QVERIFY(!p.form().LEDCheck->Lit());
    QVERIFY(!p.form().Pop3Client1->Connected());
    QCOMPARE(p.log(), QStringList{u"Error: -ERR [IN-USE] Mailbox gesperrt"_s});
    QCOMPARE(p.dialogs.texts(), QStringList{u"Fehler - Nähere Informationen im Protokoll"_s});
    QCOMPARE(serverCommandsEnabled(p.form()), kAllFree);
}

QTEST_MAIN(TestCheck)
#include "tst_check.moc"
