#include "BerichtUn.h"
#include "CheckWait.h"
#include "DovecotServer.h"
#include "ExamineUn.h"
#include "MimeFixtures.h"
#include "ModelGrid.h"
#include "Pop3Client.h"
#include "ProgramWindows.h"
#include "ScrollingText.h"
#include "SettingsStore.h"
#include "StringGrid.h"
#include "TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

// Working on a listed mailbox of a real Dovecot: examine, delete, restore.
class TestExamine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void examineAllNumbersRowsByMessage();
    void examineOneShowsTheMessageAsPlainText();
    void deleteAsksAndDeletedMessagesStayRefused();
    void restoreKeepsEverything();
    void commandsNeedAList();
    void readOnlyProgramFolderKeepsAttachmentsInTheUsersCache();
    void encodedHeadersAndNamesReadable();
    void disconnectDuringAnExaminationKeepsTheMailbox();

private:
    void setUp(const QStringList& fixtures);
    void openWindows();
    void checkMailbox(int count = 3);
    TStammForm& form() { return m_windows->StammForm; }

    std::unique_ptr<DovecotServer> m_server;
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<ProgramWindows> m_windows;
};

void TestExamine::init()
{
    if (!DovecotServer::isAvailable())
        QSKIP("dovecot is not installed (package dovecot-pop3d); scripts/install-deps.sh installs it");
    setUp({u"collisions.eml"_s, u"plain.eml"_s, u"nested.eml"_s});
}

void TestExamine::setUp(const QStringList& fixtures)
{
    m_server = std::make_unique<DovecotServer>();
    for (const QString& name : fixtures)
        m_server->addMessage(mimeFixture(name));
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
    m_env = std::make_unique<TestEnvironment>();
    m_dialogs = std::make_unique<ScriptedDialogs>();
    SettingsStore().writeString(u"Programm"_s, u"First"_s, u"0"_s);
    SettingsStore().writeString(u"Programm"_s, u"Startschirm"_s, u"0"_s);
    openWindows();
}

void TestExamine::openWindows()
{
    m_windows = std::make_unique<ProgramWindows>();
    Variabel& v = m_windows->state;
    v.Konto[1] = u"Dovecot"_s;
    v.Host[1] = QString::fromLatin1(m_server->host());
    v.Port[1] = m_server->port();
    v.UserID[1] = QString::fromLatin1(m_server->user());
    v.Passwort[1] = QString::fromLatin1(m_server->password());
    form().Anzeige_Setzen();
    form().show();
}

void TestExamine::cleanup()
{
    m_windows.reset();
    m_dialogs.reset();
    m_env.reset();
    m_server.reset();
}

void TestExamine::checkMailbox(int count)
{
    QVERIFY(clickCheck(form()));
    QCOMPARE(form().LAnzahl->text(), QString::number(count));
    m_dialogs->clear();
}

void TestExamine::examineAllNumbersRowsByMessage()
{
    checkMailbox();
    QTest::mouseClick(form().SBCheck_All, Qt::LeftButton);
    TExamineForm& examine = *m_windows->ExamineForm;
    QVERIFY(examine.isVisible());
    QStringList numbers;
    for (int row = 1; row < examine.Tabelle->RowCount(); ++row)
        numbers.append(examine.Tabelle->Cells(1, row));
    QCOMPARE(numbers, (QStringList{u"1"_s, u"1"_s, u"3"_s}));
    QVERIFY(QFile::exists(m_env->path(u"temp/a.pdf"_s)));
    QVERIFY(QFile::exists(m_env->path(u"temp/a_1.pdf"_s)));
    QVERIFY(QFile::exists(m_env->path(u"temp/report.csv"_s)));
    QVERIFY(m_dialogs->messages().isEmpty()); // examine all asks nothing

    form().close(); // the scratch folder is emptied at the end
    QCOMPARE(QDir(m_env->path(u"temp"_s)).entryList(QDir::Files).size(), 0);
}

void TestExamine::readOnlyProgramFolderKeepsAttachmentsInTheUsersCache()
{
    m_windows.reset();
    ReadOnlyFolder readOnly(m_env->programFolder());
    if (!readOnly.isReadOnly())
        QSKIP("this process can write into read-only folders");
    openWindows();
    const QString scratch = m_env->cacheHome() + u"/Postrella/temp/"_s;
    checkMailbox();
    QTest::mouseClick(form().SBCheck_All, Qt::LeftButton);
    QVERIFY(m_dialogs->messages().isEmpty());
    QCOMPARE(m_windows->ExamineForm->Tabelle->RowCount(), 4);
    for (const QString& name : {u"a.pdf"_s, u"a_1.pdf"_s, u"report.csv"_s})
        QVERIFY2(QFile::exists(scratch + name), qPrintable(name));
    QVERIFY(!QFile::exists(m_env->path(u"temp/a.pdf"_s)));
    form().close();
    QCOMPARE(QDir(scratch).entryList(QDir::Files).size(), 0);
}

void TestExamine::examineOneShowsTheMessageAsPlainText()
{
    checkMailbox();
    form().Tabelle->setRow(2);
    m_dialogs->answerNext(Dialogs::No);
    QTest::mouseClick(form().SBExamine, Qt::LeftButton);
    QVERIFY(!m_windows->ExamineForm->isVisible());
    m_dialogs->answerNext(Dialogs::Yes);
    QTest::mouseClick(form().SBExamine, Qt::LeftButton);
    QCOMPARE(m_dialogs->messages().size(), 2);
    QVERIFY(m_dialogs->texts()[1].endsWith(form().GetText(42)));
    TExamineForm& examine = *m_windows->ExamineForm;
    QVERIFY(examine.isVisible());
    QCOMPARE(examine.LSubject->text(), form().Tabelle->Cells(5, 2));
    QVERIFY(!examine.REBody->toPlainText().isEmpty());
    QCOMPARE(examine.Tabelle->Cells(2, 1), QString()); // no attachments: one empty row
    QVERIFY(!form().PWarten->isVisible());
}

void TestExamine::deleteAsksAndDeletedMessagesStayRefused()
{
    checkMailbox();
    form().Tabelle->setRow(1);
    m_dialogs->answerNext(Dialogs::No);
    QTest::mouseClick(form().SBDelete, Qt::LeftButton);
    QCOMPARE(form().Tabelle->Cells(2, 1), QString());
    m_dialogs->answerNext(Dialogs::Yes);
    QTest::mouseClick(form().SBDelete, Qt::LeftButton);
    QCOMPARE(form().Tabelle->Cells(2, 1), u"LLL"_s);

    // Deleting it again: the server refuses, the log gains a line, the mark stays.
    m_dialogs->clear();
    m_dialogs->answerNext(Dialogs::Yes);
    QTest::mouseClick(form().SBDelete, Qt::LeftButton);
    QCOMPARE(m_dialogs->messages().size(), 2);
    QCOMPARE(m_dialogs->messages()[1].kind, Dialogs::Kind::Error);
    QVERIFY(m_dialogs->texts()[1].startsWith(u"-ERR"_s));
    QCOMPARE(m_windows->BerichtForm->lines().size(), 1);
    QVERIFY(m_windows->BerichtForm->lines()[0].startsWith(u"Error: -ERR"_s)); // the server's reply
    QCOMPARE(form().Tabelle->Cells(2, 1), u"LLL"_s);

    // Examine all skips the deleted message instead of failing on it.
    QTest::mouseClick(form().SBCheck_All, Qt::LeftButton);
    QVERIFY(m_windows->ExamineForm->isVisible());
    QCOMPARE(m_windows->ExamineForm->Tabelle->Cells(1, 1), u"3"_s);

    form().close();
    QCOMPARE(m_server->storedMessageCount(), 2);
}

void TestExamine::restoreKeepsEverything()
{
    checkMailbox();
    form().Tabelle->setRow(3);
    m_dialogs->answerNext(Dialogs::Yes);
    QTest::mouseClick(form().SBDelete, Qt::LeftButton);
    form().Restore1->trigger();
    QCOMPARE(form().Tabelle->Cells(2, 3), QString()); // the row no longer claims the deletion
    form().close();
    QCOMPARE(m_server->storedMessageCount(), 3);
}

void TestExamine::commandsNeedAList()
{
    const QString noList =
        u"Noch nicht möglich: - Mögliche Fehler:\r1. Sind Sie Online? \r"
        u"2. Richten Sie ein Konto ein. -> Einstellungen RiruvuvUziruz\r3. Wählen Sie ein Konto aus.\r"
        u"4. Rufen Sie mit \"Prüfen\" erst eine Liste ab!\r"
        u"5. Die Verbindung ist unterbrochen -> Erneut auf \"Prüfen\"\r"_s;
    QTest::mouseClick(form().SBExamine, Qt::LeftButton);
    QTest::mouseClick(form().SBDelete, Qt::LeftButton);
    QCOMPARE(m_dialogs->texts(), (QStringList{noList, noList}));
    QCOMPARE(m_dialogs->messages()[0].helpContext, 2);
    QCOMPARE(m_dialogs->messages()[1].helpContext, 4);
    QCOMPARE(m_dialogs->messages()[0].buttons, Dialogs::Ok | Dialogs::Help);
    QCOMPARE(form().Schrift->Text(), form().GetText(24));
}

// What Python's email library reads in the same message, except the Latin-1
// name, which it cannot read and the program takes as Windows-1252, and the
// name given both ways, where the extended form wins.
void TestExamine::encodedHeadersAndNamesReadable()
{
    cleanup();
    setUp({u"encodednames.eml"_s});
    checkMailbox(1);
    QCOMPARE(form().Tabelle->Cells(4, 1), u"Jörg Müller <joerg@example.de>"_s);
    QCOMPARE(form().Tabelle->Cells(5, 1), u"Grüße aus Köln und München"_s);
    form().Tabelle->setRow(1);
    m_dialogs->answerNext(Dialogs::Yes);
    QTest::mouseClick(form().SBExamine, Qt::LeftButton);
    TExamineForm& examine = *m_windows->ExamineForm;
    QCOMPARE(examine.LFrom->text(), u"Jörg Müller <joerg@example.de>"_s);
    QCOMPARE(examine.LSubject->text(), u"Grüße aus Köln und München"_s);
    const QStringList names = {u"Grüße.txt"_s, u"naïve.txt"_s, u"€uro.txt"_s,
                               u"Ärger.txt"_s, u"Müll.txt"_s,  u"passwd"_s};
    QStringList listed;
    for (int row = 1; row < examine.Tabelle->RowCount(); ++row)
        listed.append(examine.Tabelle->Cells(2, row));
    QCOMPARE(listed, names);
    QStringList stored = QDir(m_env->path(u"temp"_s)).entryList(QDir::Files);
    QStringList expected = names;
    stored.sort();
    expected.sort();
    QCOMPARE(stored, expected);
    QFile first(m_env->path(u"temp/Grüße.txt"_s));
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll(), "Gruesse"_ba);
}

void TestExamine::disconnectDuringAnExaminationKeepsTheMailbox()
{
    checkMailbox();
    form().Tabelle->setRow(1);
    m_dialogs->answerNext(Dialogs::Yes);
    QTest::mouseClick(form().SBDelete, Qt::LeftButton);
    form().Tabelle->setRow(2);
    m_dialogs->answerNext(Dialogs::Yes);
    QTimer::singleShot(0, &form(), [this] { form().Disconnect1->trigger(); });
    QTest::mouseClick(form().SBExamine, Qt::LeftButton);
    QVERIFY(!form().Pop3Client1->Connected());
    QCOMPARE(form().LAnzahl->text(), u"0"_s);
    QVERIFY(!m_windows->ExamineForm->isVisible());
    // Without QUIT the server makes nothing of this connection final, and
    // the user hears that the deletion of message 1 was not made.
    QCOMPARE(m_windows->BerichtForm->lines(), QStringList{u"Error: 1 Löschung(en) auf dem Server nicht ausgeführt: "
                                                          u"Die Verbindung wurde ohne QUIT getrennt"_s});
    QCOMPARE(m_dialogs->messages().size(), 3); // the two confirmations and that report
    QCOMPARE(form().Tabelle->Cells(2, 1), QString());
    QCOMPARE(m_server->storedMessageCount(), 3);
    checkMailbox();
    QCOMPARE(form().Tabelle->Cells(2, 1), QString());
}

QTEST_MAIN(TestExamine)
#include "tst_examine.moc"
