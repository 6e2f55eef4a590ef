// The commands on a listed message (Löschen, Untersuchen, Alle untersuchen,
// Wiederherstellen) and Disconnect while one of them waits for the server.
#include "CheckProgram.h"

using namespace CheckProgram;

namespace {

FakeScript retrieval(int n)
{
    return client("RETR " + QByteArray::number(n)) + server("+OK") + server("Subject: Hallo") + server("") +
           server("Text") + server(".");
}

// The server operations the window can wait in, after a check has listed one message.
enum class Waiting
{
    Listing,
    Examination,
    ExamineAll,
    Deletion,
    Restore,
};

// Starts the operation; a listing is the check itself.
void startOperation(Program& p, Waiting op)
{
    switch (op) {
    case Waiting::Listing:
        p.check();
        break;
    case Waiting::Examination:
        p.dialogs.answerNext(Dialogs::Yes);
        QTest::mouseClick(p.form().SBExamine, Qt::LeftButton);
        break;
    case Waiting::ExamineAll:
        QTest::mouseClick(p.form().SBCheck_All, Qt::LeftButton);
        break;
    case Waiting::Deletion:
        p.dialogs.answerNext(Dialogs::Yes);
        QTest::mouseClick(p.form().SBDelete, Qt::LeftButton);
        break;
    case Waiting::Restore:
        p.form().Restore1->trigger();
        break;
    }
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void commandsAreLockedWhileTheClientWaits_data();
    void commandsAreLockedWhileTheClientWaits();
    void disconnectDuringAWaitLeavesAUsableWindow_data();
    void disconnectDuringAWaitLeavesAUsableWindow();
    void logLinesCarryTheTrueError_data();
    void logLinesCarryTheTrueError();
    void refusedExaminationLeavesNoLampLit();
    void noDeletionIsClaimedThatWasNotMade_data();
    void noDeletionIsClaimedThatWasNotMade();
};

void TestCommands::commandsAreLockedWhileTheClientWaits_data()
{
    QTest::addColumn<Waiting>("op");
    QTest::addColumn<FakeScript>("script");
    QTest::newRow("listing") << Waiting::Listing << FakeScript();
    QTest::newRow("examination") << Waiting::Examination << retrieval(1);
    QTest::newRow("examine all") << Waiting::ExamineAll << retrieval(1);
    QTest::newRow("deletion") << Waiting::Deletion << dele(1);
    QTest::newRow("restore") << Waiting::Restore << rset();
}

void TestCommands::commandsAreLockedWhileTheClientWaits()
{
    // While the client waits, every command that talks to the server is shown
    // unavailable, and clicking it anyway sends nothing that would take over
    // the connection or read the waiting reply as its own.
    QFETCH(Waiting, op);
    QFETCH(FakeScript, script);
    Program p;
    FakePop3Server fake(greeting() + login("u", "p") + stat(1) + listing({{10, "a@b", "Hallo"}}) + script + quit());
    p.account(1, u"Test"_s, fake.host(), fake.port());
    QList<bool> during;
    bool disconnectUsable = false;
    const auto probe = [&] {
        QTimer::singleShot(0, &p.form(), [&] {
            during = serverCommandsEnabled(p.form());
            disconnectUsable = p.form().Disconnect1->isEnabled();
            for (QToolButton* b : {p.form().SBCheck, p.form().SBDelete, p.form().SBExamine, p.form().SBCheck_All})
                QTest::mouseClick(b, Qt::LeftButton);
            for (QAction* a :
                 {p.form().Check1, p.form().Delete1, p.form().Examine1, p.form().Examineall1, p.form().Restore1})
                a->trigger();
        });
    };
    if (op == Waiting::Listing) {
        QObject::connect(p.form().Pop3Client1, &TPop3Client::stateChanged, &p.form(), [&](TPop3State state) {
            if (state == TPop3State::Listing && during.isEmpty())
                probe();
        });
    } else {
        p.check();
        QCOMPARE(serverCommandsEnabled(p.form()), kAllFree);
        probe();
    }
    startOperation(p, op);
    QCOMPARE(during, kAllLocked);
    QVERIFY(disconnectUsable);
    QCOMPARE(serverCommandsEnabled(p.form()), kAllFree);
    QCOMPARE(p.form().LAnzahl->text(), u"1"_s);
    QCOMPARE(p.form().Tabelle->RowCount(), 2); // no phantom row
    for (const auto& m : p.dialogs.messages())
        QCOMPARE_NE(m.kind, Dialogs::Kind::Error);
    p.form().close();
    FAKE_POP3_VERIFY(fake);
}

void TestCommands::disconnectDuringAWaitLeavesAUsableWindow_data()
{
    QTest::addColumn<Waiting>("op");
    QTest::newRow("listing") << Waiting::Listing;
    QTest::newRow("examination") << Waiting::Examination;
    QTest::newRow("deletion") << Waiting::Deletion;
}

void TestCommands::disconnectDuringAWaitLeavesAUsableWindow()
{
    QFETCH(Waiting, op);
    Program p;
    FakeScript script = greeting() + login("u", "p") + stat(1);
    if (op == Waiting::Listing)
        script += client("LIST");
    else if (op == Waiting::Examination)
        script += listing({{10, "a@b", "Hallo"}}) + client("RETR 1");
    else
        script += listing({{10, "a@b", "Hallo"}}) + client("DELE 1");
    FakePop3Server fake(script + silence());
    p.account(1, u"Test"_s, fake.host(), fake.port());
    const auto disconnectSoon = [&] { QTimer::singleShot(0, &p.form(), [&] { p.form().Disconnect1->trigger(); }); };
    QMetaObject::Connection atListing;
    if (op == Waiting::Listing) {
        atListing =
            QObject::connect(p.form().Pop3Client1, &TPop3Client::stateChanged, &p.form(), [&](TPop3State state) {
                if (state == TPop3State::Listing)
                    disconnectSoon();
            });
    } else {
        p.check();
        disconnectSoon();
    }
    startOperation(p, op);
    FAKE_POP3_VERIFY(fake);
    QVERIFY(!fake.received().contains("QUIT\r\n")); // the waiting answer is not taken for QUIT's
    QVERIFY(!p.form().Pop3Client1->Connected());
    QCOMPARE(p.form().LAnzahl->text(), u"0"_s);
    QVERIFY(!p.form().LEDOnline->Lit());
    QVERIFY(!p.form().LEDWaiting->Lit());
    QVERIFY(!p.form().PWarten->isVisible());
    QCOMPARE(p.form().Tabelle->Cells(2, 1), QString()); // not marked as deleted
    QCOMPARE(serverCommandsEnabled(p.form()), kAllFree);
    // The user ended it: no failure to report.
    for (const auto& m : p.dialogs.messages())
        QCOMPARE(m.kind, Dialogs::Kind::Confirmation);
    QVERIFY(p.log().isEmpty());

    // The next check works on a fresh connection.
    QObject::disconnect(atListing);
    fake.setScript(greeting() + login("u", "p") + stat(1) + listing({{20, "c@d", "Neu"}}));
    p.check();
    FAKE_POP3_VERIFY(fake);
    QCOMPARE(p.form().LAnzahl->text(), u"1"_s);
    QCOMPARE(p.column(5), QStringList{u"Neu"_s});
    QVERIFY(p.form().LEDOnline->Lit());
}

void TestCommands::logLinesCarryTheTrueError_data()
{
    QTest::addColumn<FakeScript>("deletion");
    QTest::addColumn<QString>("line");
    QTest::newRow("refused DELE: the server's reply")
        << dele(1, "-ERR message is locked") << u"Error: -ERR message is locked"_s;
    QTest::newRow("server closes instead of answering: no reset number")
        << client("DELE 1") + close() << u"Error: Die Verbindung wurde vom Server geschlossen"_s;
}

void TestCommands::logLinesCarryTheTrueError()
{
    QFETCH(FakeScript, deletion);
    QFETCH(QString, line);
    Program p;
    FakePop3Server fake(greeting() + login("u", "p") + stat(1) + listing({{10, "a@b", "Hallo"}}) + deletion);
    p.account(1, u"Test"_s, fake.host(), fake.port());
    p.check();
    p.dialogs.answerNext(Dialogs::Yes);
    QTest::mouseClick(p.form().SBDelete, Qt::LeftButton);
    FAKE_POP3_VERIFY(fake);
    QCOMPARE(p.log().constFirst(), line);
    QCOMPARE(p.form().Tabelle->Cells(2, 1), QString());
    QCOMPARE(p.dialogs.messages().constLast().kind, Dialogs::Kind::Error);
}

void TestCommands::refusedExaminationLeavesNoLampLit()
{
    Program p;
    FakePop3Server fake(greeting() + login("u", "p") + stat(1) + listing({{10, "a@b", "Hallo"}}) + client("RETR 1") +
                        server("-ERR no such message"));
    p.account(1, u"Test"_s, fake.host(), fake.port());
    p.check();
    p.dialogs.answerNext(Dialogs::Yes);
    QTest::mouseClick(p.form().SBExamine, Qt::LeftButton);
    FAKE_POP3_VERIFY(fake);
    QCOMPARE(p.dialogs.texts().constLast(), u"-ERR no such message\r\n"_s);
    QVERIFY(!p.form().LEDWaiting->Lit());
    QCOMPARE(p.form().Schrift->Text(), p.text(24));
    QCOMPARE(serverCommandsEnabled(p.form()), kAllFree);
}

void TestCommands::noDeletionIsClaimedThatWasNotMade_data()
{
    QTest::addColumn<FakeScript>("script"); // after the log-on to one message
    QTest::addColumn<Waiting>("op");        // a listing: the next check
    QTest::addColumn<QString>("mark");      // of the row at the end
    QTest::addColumn<QString>("reported");  // in the one report of deletions not made
    const FakeScript condemned = listing({{10, "a@b", "Sofortkredit"}}) + dele(1);
    const FakeScript innocent = listing({{10, "a@b", "Hallo"}});
    QTest::newRow("Löschen after a listing that failed at message 1")
        << client("LIST") + server("+OK") + server("1 10") + server(".") + client("TOP 1 0") + server("-ERR") + quit()
        << Waiting::Deletion << QString() << QString();
    QTest::newRow("QUIT refused after an automatic deletion")
        << condemned + client("QUIT") + server("-ERR gesperrt") + close() + greeting() + login("u", "p") + stat(0) +
               quit()
        << Waiting::Listing << QString() << u"-ERR gesperrt"_s;
    QTest::newRow("server closes after a Löschen")
        << innocent + dele(1) + silence(50) + close() << Waiting::Deletion << QString() << u"vom Server geschlossen"_s;
    QTest::newRow("Wiederherstellen") << condemned + rset() + quit() << Waiting::Restore << u"S"_s << QString();
    QTest::newRow("a DELE answer without +OK")
        << innocent + client("DELE 1") + server("entfernt") + close() << Waiting::Deletion << QString() << QString();
}

void TestCommands::noDeletionIsClaimedThatWasNotMade()
{
    QFETCH(FakeScript, script);
    QFETCH(Waiting, op);
    QFETCH(QString, mark);
    QFETCH(QString, reported);
    Program p;
    p.state().Loeschen_Betreff = true;
    FakePop3Server fake(greeting() + login("u", "p") + stat(1) + script);
    p.account(1, u"Test"_s, fake.host(), fake.port());
    p.check();
    startOperation(p, op);
    const auto reports = [&p] { return p.dialogs.texts().filter(u"nicht ausgeführt"_s); };
    QTRY_COMPARE(reports().size(), reported.isEmpty() ? 0 : 1);
    QCOMPARE(p.log().filter(u"nicht ausgeführt"_s).size(), reports().size());
    QVERIFY(reported.isEmpty() || reports().constFirst().contains(reported));
    QCOMPARE(p.form().Tabelle->Cells(2, 1), mark);
    p.form().close();
    FAKE_POP3_VERIFY(fake);
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
