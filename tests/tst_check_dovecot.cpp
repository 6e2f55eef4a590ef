#include "BerichtUn.h"
#include "CheckWait.h"
#include "DovecotServer.h"
#include "LED.h"
#include "ModelGrid.h"
#include "Pop3Client.h"
#include "ProgramWindows.h"
#include "SettingsStore.h"
#include "StringGrid.h"
#include "TestCertificates.h"
#include "TestSupport.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QByteArray message(const QByteArray& from, const QByteArray& subject)
{
    return "From: " + from + "\r\nTo: test@example.org\r\nSubject: " + subject +
           "\r\nDate: Mon, 7 Dec 2026 10:00:00 +0100\r\n\r\nText\r\n";
}

struct Mail
{
    QByteArray from;
    QByteArray subject;
};

// Ordinary mail beside spam that each list catches; the second subject
// matches two lines of the system list.
const QList<Mail> kMailbox = {
    {"Ann <ann@example.org>", "Treffen am Montag"},
    {"promo@versand.example", "Sofortkredit ohne Schufa"},
    {"newsletter@shop.example", "Ihr Angebot der Woche"},
    {"spammer@bulk.example", "Hallo"},
    {"\"Bob B.\" <bob@example.net>", "Protokoll der Sitzung"},
};

void writeList(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

} // namespace

// The check command against a real Dovecot: the grid shows what screening
// decided, and after the program closes the server holds exactly the
// messages that were not condemned.
class TestCheckDovecot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void screeningDecidesWhatStays_data();
    void screeningDecidesWhatStays();
    void eachSecurityChoice_data();
    void eachSecurityChoice();
    void trustBoxDecidesAndIsRemembered();
    void encodedHeadersReadAndScreened();
};

void TestCheckDovecot::initTestCase()
{
    if (!DovecotServer::isAvailable())
        QSKIP("dovecot is not installed (package dovecot-pop3d); scripts/install-deps.sh installs it");
}

namespace {

// Starts a Dovecot with TLS on both listeners and one message.
bool startTlsServer(DovecotServer& server, const TestCertificates::Identity& identity)
{
    server.setTls(DovecotServer::Tls::On, identity.certificateFile, identity.keyFile);
    server.addMessage(message("ann@example.org", "Hallo"));
    return server.start();
}

void setUpAccount(Variabel& v, const DovecotServer& server, const QString& security, const QString& name = u"Sicher"_s)
{
    v.Konto[1] = name;
    v.Host[1] = QString::fromLatin1(server.host());
    v.Port[1] = security == Variabel::SecurityTls ? server.tlsPort() : server.port();
    v.Sicherheit[1] = security;
    v.UserID[1] = QString::fromLatin1(server.user());
    v.Passwort[1] = QString::fromLatin1(server.password());
}

QStringList trustBoxes(const ScriptedDialogs& dialogs)
{
    QStringList boxes;
    for (const Dialogs::MessageRequest& request : dialogs.messages()) {
        if (request.buttons == (Dialogs::Trust | Dialogs::Cancel))
            boxes.append(request.text);
    }
    return boxes;
}

} // namespace

void TestCheckDovecot::eachSecurityChoice_data()
{
    QTest::addColumn<QString>("security");
    QTest::addColumn<QString>("shown");
    QTest::newRow("SSL/TLS") << u"SSL/TLS"_s << u"Verbindung verschlüsselt: TLSv1."_s;
    QTest::newRow("STARTTLS") << u"STARTTLS"_s << u"Verbindung verschlüsselt: TLSv1."_s;
    QTest::newRow("Keine") << u"Keine"_s << u"Verbindung unverschlüsselt"_s;
}

void TestCheckDovecot::eachSecurityChoice()
{
    QFETCH(QString, security);
    QFETCH(QString, shown);
    const TestCertificates& certificates = TestCertificates::instance();
    QVERIFY2(certificates.isValid(), qPrintable(certificates.errorString()));
    DovecotServer server;
    QVERIFY2(startTlsServer(server, certificates.signedByAuthority()), qPrintable(server.errorString()));

    TestEnvironment env;
    ScriptedDialogs dialogs;
    SettingsStore().writeString(u"Programm"_s, u"First"_s, u"0"_s);
    SettingsStore().writeString(u"Programm"_s, u"Startschirm"_s, u"0"_s);
    ProgramWindows w;
    setUpAccount(w.state, server, security);
    TStammForm& f = w.StammForm;
    f.Pop3Client1->ExtraAuthorities = {certificates.authority()};
    f.Anzeige_Setzen();
    f.show();
    QVERIFY(clickCheck(f));
    QCOMPARE(f.LAnzahl->text(), u"1"_s);
    QVERIFY(dialogs.messages().isEmpty());
    QVERIFY2(f.LSicherheit->accessibleName().startsWith(shown), qPrintable(f.LSicherheit->accessibleName()));
    f.Disconnect1->trigger();
    QCOMPARE(f.LSicherheit->accessibleName(), u"Keine Verbindung"_s);
}

void TestCheckDovecot::trustBoxDecidesAndIsRemembered()
{
    const TestCertificates& certificates = TestCertificates::instance();
    QVERIFY2(certificates.isValid(), qPrintable(certificates.errorString()));
    const QString fingerprint = TSockClient::Fingerprint(certificates.selfSigned().certificate);
    DovecotServer server;
    QVERIFY2(startTlsServer(server, certificates.selfSigned()), qPrintable(server.errorString()));

    TestEnvironment env;
    ScriptedDialogs dialogs;
    SettingsStore().writeString(u"Programm"_s, u"First"_s, u"0"_s);
    SettingsStore().writeString(u"Programm"_s, u"Startschirm"_s, u"0"_s);
    {
        ProgramWindows w;
        setUpAccount(w.state, server, Variabel::SecurityTls);
        TStammForm& f = w.StammForm;
        f.Anzeige_Setzen();
        f.show();

        // "Abbrechen": no log-on, a line in the log and the error box.
        dialogs.answerNext(Dialogs::Cancel);
        QVERIFY(clickCheck(f));
        QStringList boxes = trustBoxes(dialogs);
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes.constFirst().contains(u"konnte nicht überprüft werden"_s));
        QVERIFY(boxes.constFirst().contains(u"Das Zertifikat ist selbst signiert."_s));
        QVERIFY(boxes.constFirst().contains(u"Inhaber: "_s) && boxes.constFirst().contains(u"Aussteller: "_s));
        QVERIFY(boxes.constFirst().contains(u"SHA-256: "_s + fingerprint.left(2) + u':' + fingerprint.mid(2, 2)));
        QCOMPARE(dialogs.texts().constLast(), u"Fehler - Nähere Informationen im Protokoll"_s);
        QVERIFY(!f.LEDOnline->Lit());
        QCOMPARE(w.state.Zertifikat[1], QString());
        QVERIFY(f.BerichtForm()->lines().join(u'\n').contains(u"wurde nicht vertraut"_s));

        // "Vertrauen": the check goes on and the fingerprint is kept.
        dialogs.clear();
        dialogs.answerNext(Dialogs::Trust);
        QVERIFY(clickCheck(f));
        QCOMPARE(trustBoxes(dialogs).size(), 1);
        QCOMPARE(f.LAnzahl->text(), u"1"_s);
        QCOMPARE(w.state.Zertifikat[1], fingerprint);

        // The same certificate again: no box.
        dialogs.clear();
        QVERIFY(clickCheck(f));
        QVERIFY(dialogs.messages().isEmpty());
        QCOMPARE(f.LAnzahl->text(), u"1"_s);
        f.close();
    }
    QCOMPARE(SettingsStore().readString(u"eMail"_s, u"Sicherheit1"_s), u"SSL/TLS"_s);
    QCOMPARE(SettingsStore().readString(u"eMail"_s, u"Zertifikat1"_s), fingerprint);

    // The server now shows another certificate: asked again, as a change.
    DovecotServer swapped;
    QVERIFY2(startTlsServer(swapped, certificates.otherSelfSigned()), qPrintable(swapped.errorString()));
    dialogs.clear();
    {
        ProgramWindows w;
        setUpAccount(w.state, swapped, Variabel::SecurityTls);
        TStammForm& f = w.StammForm;
        QCOMPARE(w.state.Zertifikat[1], fingerprint);
        // The trust holds for its server: the new instance stands for the same
        // server on the port the trust was given for.
        w.state.Zertifikat_Server[1] = CertificateTrust::serverOf(w.state.Host[1], w.state.Port[1]);
        f.Anzeige_Setzen();
        f.show();
        dialogs.answerNext(Dialogs::Cancel);
        QVERIFY(clickCheck(f));
        const QStringList boxes = trustBoxes(dialogs);
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes.constFirst().contains(u"hat sich geändert"_s));
        QVERIFY(!f.LEDOnline->Lit());
        QCOMPARE(w.state.Zertifikat[1], fingerprint);
        f.close();
    }
}

void TestCheckDovecot::screeningDecidesWhatStays_data()
{
    QTest::addColumn<bool>("system");
    QTest::addColumn<bool>("own");
    QTest::addColumn<bool>("sender");
    QTest::addColumn<QStringList>("marks");
    QTest::addColumn<QStringList>("reports"); // count per report box, in order
    QTest::addColumn<int>("remaining");
    QTest::newRow("nothing deleted") << false << false << false << QStringList{{}, u"S"_s, u"SE"_s, u"F"_s, {}}
                                     << QStringList{} << 5;
    QTest::newRow("system list deletes") << true << false << false << QStringList{{}, u"S#"_s, u"SE"_s, u"F"_s, {}}
                                         << QStringList{u"1"_s} << 4;
    QTest::newRow("own subject list deletes")
        << false << true << false << QStringList{{}, u"S"_s, u"SE#"_s, u"F"_s, {}} << QStringList{u"1"_s} << 4;
    QTest::newRow("sender list deletes") << false << false << true << QStringList{{}, u"S"_s, u"SE"_s, u"F#"_s, {}}
                                         << QStringList{u"1"_s} << 4;
    QTest::newRow("every list deletes") << true << true << true << QStringList{{}, u"S#"_s, u"SE#"_s, u"F#"_s, {}}
                                        << QStringList{u"1"_s, u"1"_s, u"1"_s} << 2;
}

void TestCheckDovecot::screeningDecidesWhatStays()
{
    QFETCH(bool, system);
    QFETCH(bool, own);
    QFETCH(bool, sender);
    QFETCH(QStringList, marks);
    QFETCH(QStringList, reports);
    QFETCH(int, remaining);

    DovecotServer server;
    for (const Mail& mail : kMailbox)
        server.addMessage(message(mail.from, mail.subject));
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    TestEnvironment env;
    ScriptedDialogs dialogs;
    SettingsStore().writeString(u"Programm"_s, u"First"_s, u"0"_s);
    SettingsStore().writeString(u"Programm"_s, u"Startschirm"_s, u"0"_s);
    writeList(env.path(u"init/Betreff_User.ini"_s), "Angebot der Woche\r\n");
    writeList(env.path(u"init/Absender_User.ini"_s), "spammer@\r\n");
    {
        ProgramWindows w;
        Variabel& v = w.state;
        setUpAccount(v, server, Variabel::SecurityNone, u"Dovecot"_s);
        v.Loeschen_Betreff = system;
        v.Loeschen_Betreff_Eigen = own;
        v.Loeschen_Absender = sender;
        TStammForm& f = w.StammForm;
        f.Anzeige_Setzen();
        f.show();
        QVERIFY(clickCheck(f));

        QCOMPARE(f.LAnzahl->text(), u"5"_s);
        QStringList shown;
        for (int row = 1; row <= 5; ++row)
            shown.append(f.Tabelle->Cells(2, row));
        QCOMPARE(shown, marks);
        QCOMPARE(f.Tabelle->Cells(5, 2), u"Sofortkredit ohne Schufa"_s);
        QCOMPARE(f.Tabelle->Cells(4, 5), u"\"Bob B.\" <bob@example.net>"_s);
        QVERIFY(f.LEDBetreff->Lit() && f.LEDMessages->Lit() && f.LEDAbsender->Lit());
        QStringList counts;
        for (const QString& text : dialogs.texts())
            counts.append(text.section(f.GetText(35), 0, 0));
        QCOMPARE(counts, reports);
        QVERIFY(f.LEDOnline->Lit());
        QCOMPARE(server.storedMessageCount(), 5); // deletions are final only at QUIT
        f.close();
    }
    QCOMPARE(server.storedMessageCount(), remaining);
}

// Senders and subjects as mail today sends them: the grid shows them decoded
// (as Python's email library reads them), the lists (Windows-1252 text) match
// the decoded text with the usual case rule, and a cell too narrow for its
// text shows the whole of it as a tooltip.
void TestCheckDovecot::encodedHeadersReadAndScreened()
{
    DovecotServer server;
    server.addMessage(message("=?utf-8?q?J=C3=B6rg_M=C3=BCller?= <joerg@example.de>", "Termin"));
    server.addMessage(message("Ann <ann@example.org>", "=?utf-8?b?R3LDvMOfZSBhdXMgS8O2bG4=?=\r\n"
                                                       " =?iso-8859-1?q?_und_M=FCnchen?="));
    server.addMessage(message("\xc3\x9c"
                              "bel <u@example.org>",
                              "Gr\xfc\xdf"
                              "e roh"));
    server.addMessage(message("Ann <ann@example.org>", "=?utf-8?q?gr=C3=BC=C3=9Fe_aus_Rom?="));
    QVERIFY2(server.start(), qPrintable(server.errorString()));

    TestEnvironment env;
    ScriptedDialogs dialogs;
    SettingsStore().writeString(u"Programm"_s, u"First"_s, u"0"_s);
    SettingsStore().writeString(u"Programm"_s, u"Startschirm"_s, u"0"_s);
    writeList(env.path(u"init/Betreff_User.ini"_s), "Gr\xfc\xdf"
                                                    "e aus\r\n");
    writeList(env.path(u"init/Absender_User.ini"_s), "M\xfcller\r\n");
    {
        ProgramWindows w;
        Variabel& v = w.state;
        setUpAccount(v, server, Variabel::SecurityNone, u"Dovecot"_s);
        v.Loeschen_Betreff_Eigen = true;
        TStammForm& f = w.StammForm;
        f.Anzeige_Setzen();
        f.show();
        QVERIFY(clickCheck(f));

        QCOMPARE(f.LAnzahl->text(), u"4"_s);
        QStringList from, subject, marks;
        for (int row = 1; row <= 4; ++row) {
            from.append(f.Tabelle->Cells(4, row));
            subject.append(f.Tabelle->Cells(5, row));
            marks.append(f.Tabelle->Cells(2, row));
        }
        QCOMPARE(from, (QStringList{u"Jörg Müller <joerg@example.de>"_s, u"Ann <ann@example.org>"_s,
                                    u"Übel <u@example.org>"_s, u"Ann <ann@example.org>"_s}));
        QCOMPARE(subject,
                 (QStringList{u"Termin"_s, u"Grüße aus Köln und München"_s, u"Grüße roh"_s, u"grüße aus Rom"_s}));
        QCOMPARE(marks, (QStringList{u"F"_s, u"SE#"_s, QString(), QString()}));
        QCOMPARE(dialogs.texts().size(), 1); // one deletion reported

        const QModelIndex cell = f.Tabelle->model()->index(1, 5);
        f.Tabelle->setColWidths(5, 30);
        const QPoint inside = f.Tabelle->visualRect(cell).center();
        QCOMPARE(f.Tabelle->clippedText(inside), u"Grüße aus Köln und München"_s);
        f.Tabelle->setColWidths(5, 2000);
        QCOMPARE(f.Tabelle->clippedText(f.Tabelle->visualRect(cell).center()), QString());
        f.close();
    }
    QCOMPARE(server.storedMessageCount(), 3);
}

QTEST_MAIN(TestCheckDovecot)
#include "tst_check_dovecot.moc"
