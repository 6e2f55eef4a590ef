#include "ProgramWindows.h"
#include "TestFiles.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTextCursor>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "<missing>"_ba;
}

// Every file and folder below folder with its size and time of change.
QStringList listing(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        entries.append(it.filePath() + u' ' + QString::number(it.fileInfo().size()) + u' ' +
                       QString::number(it.fileInfo().lastModified().toMSecsSinceEpoch()));
    }
    entries.sort();
    return entries;
}

} // namespace

// What the main window keeps on disk: the screening lists the user edits, the
// scratch folder, and a program folder it may not write to.
class TestWindowFiles : public QObject
{
    Q_OBJECT

private slots:
    void closingEmptiesTheScratchFolderOnly();
    void listEditorSavesOnlyChangedLists();
    void readOnlyProgramFolderStaysUntouched();
    void listEditorSavesOnlyWhatTheUserSaved();
};

void TestWindowFiles::closingEmptiesTheScratchFolderOnly()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    writeFile(env.path(u"temp/a.pdf"_s), "x");
    writeFile(env.path(u"temp/.hidden"_s), "x");
    QVERIFY(QDir().mkpath(env.path(u"temp/sub"_s)));
    writeFile(env.path(u"temp/sub/keep.txt"_s), "x");
    {
        ProgramWindows w;
        w.StammForm.show();
        w.StammForm.close();
    }
    QVERIFY(!QFile::exists(env.path(u"temp/a.pdf"_s)));
    QVERIFY(!QFile::exists(env.path(u"temp/.hidden"_s)));
    QVERIFY(QFile::exists(env.path(u"temp/sub/keep.txt"_s)));
}

void TestWindowFiles::listEditorSavesOnlyChangedLists()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    const QString subjects = env.path(u"init/Betreff_User.ini"_s);
    const QString senders = env.path(u"init/Absender_User.ini"_s);
    writeFile(subjects, "Gewinn\r\nGr\xfc\xdf"
                        "e\r\n");
    QFile::setPermissions(subjects, QFile::ReadOwner); // an unchanged list is never rewritten
    ProgramWindows w;
    TStammForm& f = w.StammForm;
    f.show();

    f.Subject1->trigger();
    QVERIFY(f.PEdit->isVisible());
    QCOMPARE(f.Subject_Checker->toPlainText(), u"Gewinn\nGrüße"_s);
    QTest::mouseClick(f.OB_Speichern, Qt::LeftButton);
    QVERIFY(!f.PEdit->isVisible());
    QVERIFY(dialogs.messages().isEmpty());

    f.From1->trigger();
    QCOMPARE(f.EditStack->currentWidget(), f.From_Checker);
    f.From_Checker->setFocus();
    QTest::keyClicks(f.From_Checker, u"spam@example.org"_s);
    QTest::keyClick(f.From_Checker, Qt::Key_Return);
    QTest::keyClicks(f.From_Checker, u"M"_s);
    QTest::sendKeyEvent(QTest::Click, f.From_Checker, Qt::Key_unknown, u"ü"_s, Qt::NoModifier);
    QTest::keyClicks(f.From_Checker, u"ller"_s);
    QTest::mouseClick(f.OB_Speichern, Qt::LeftButton);
    QFile file(senders);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "spam@example.org\r\nM\xfcller\r\n"_ba);

    // Cancel keeps the file as it was.
    f.From1->trigger();
    QTest::keyClicks(f.From_Checker, u"x"_s);
    QTest::mouseClick(f.OBAbbrechen, Qt::LeftButton);
    QCOMPARE(QFileInfo(senders).size(), 26);

    // A line of blanks, invisible in the editor, is saved as typed, and the user hears it screens nothing.
    f.From1->trigger();
    f.From_Checker->appendPlainText(u"  "_s);
    QTest::mouseClick(f.OB_Speichern, Qt::LeftButton);
    QCOMPARE(dialogs.texts().constLast(), u"Zeile(n) 3 der Absenderliste enthalten nur Leerzeichen oder "
                                          u"Tabulatoren.\rSolche Zeilen werden bei der Prüfung nicht beachtet."_s);
    QCOMPARE(contents(senders), "spam@example.org\r\nM\xfcller\r\n  \r\n"_ba);

    // A list that cannot be written: the error box, the editor stays open.
    QFile::setPermissions(subjects, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(QFile::remove(subjects) && QDir().mkpath(subjects)); // a folder in its place
    f.Subject1->trigger();
    QCOMPARE(dialogs.texts().constLast(), u"Datei "_s + QDir::cleanPath(subjects) + u" kann nicht geöffnet werden"_s);
    QVERIFY(!f.PEdit->isVisible());
}

void TestWindowFiles::readOnlyProgramFolderStaysUntouched()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    writeFile(env.path(u"init/Absender_User.ini"_s), "alt@example.org\r\n");
    const QStringList before = listing(env.programFolder());
    ReadOnlyFolder readOnly(env.programFolder());
    if (!readOnly.isReadOnly())
        QSKIP("this process can write into read-only folders");
    const QString own = env.dataHome() + u"/Postrella/"_s;
    const QString scratch = env.cacheHome() + u"/Postrella/temp/"_s;
    {
        ProgramWindows w;
        TStammForm& f = w.StammForm;
        f.show();
        QVERIFY(QFile::exists(env.cacheHome() + u"/Postrella/help/CurrentlyUncompressed.ini"_s));

        // The list the user edits is the shipped one, saved as the user's own.
        f.From1->trigger();
        QCOMPARE(f.From_Checker->toPlainText(), u"alt@example.org"_s);
        f.From_Checker->moveCursor(QTextCursor::End);
        QTest::keyClick(f.From_Checker, Qt::Key_Return);
        QTest::keyClicks(f.From_Checker, u"spam@example.org"_s);
        QTest::mouseClick(f.OB_Speichern, Qt::LeftButton);
        QVERIFY(dialogs.messages().isEmpty());
        QCOMPARE(contents(own + u"init/Absender_User.ini"_s), "alt@example.org\r\nspam@example.org\r\n"_ba);

        // A link starts this very executable, not a name in the program folder.
        QVERIFY(f.ProgramLink(true, u"Menu_Start"_s));
        const QByteArray entry = contents(own.chopped(10) + u"applications/Postrella.desktop"_s);
        const QByteArray exec = "\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + '\n';
        QVERIFY2(entry.contains(exec), entry.constData());

        writeFile(scratch + u"a.pdf"_s, "x");
        f.close();
    }
    QVERIFY(QFileInfo(scratch).isDir());
    QVERIFY(!QFile::exists(scratch + u"a.pdf"_s));
    QCOMPARE(listing(env.programFolder()), before);
}

void TestWindowFiles::listEditorSavesOnlyWhatTheUserSaved()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    const QString subjects = env.path(u"init/Betreff_User.ini"_s);
    const QString senders = env.path(u"init/Absender_User.ini"_s);
    writeFile(subjects, "Gewinn\xa0jetzt\r\n");
    writeFile(senders, "spam@\r\n");
    ProgramWindows w;
    TStammForm& f = w.StammForm;
    f.show();

    // A stray letter in the sender list, cancelled; then the subject list is saved.
    f.From1->trigger();
    QTest::keyClicks(f.From_Checker, u"e"_s);
    QTest::keyClick(f.From_Checker, Qt::Key_Return);
    QTest::mouseClick(f.OBAbbrechen, Qt::LeftButton);
    f.Subject1->trigger();
    QTest::keyClick(f.Subject_Checker, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(f.Subject_Checker, Qt::Key_Return);
    QTest::keyClicks(f.Subject_Checker, u"Angebot"_s);
    QTest::mouseClick(f.OB_Speichern, Qt::LeftButton);

    QFile from(senders);
    QVERIFY(from.open(QIODevice::ReadOnly));
    QCOMPARE(from.readAll(), "spam@\r\n"_ba);
    // The non-breaking space of a pattern stays byte A0.
    QFile subject(subjects);
    QVERIFY(subject.open(QIODevice::ReadOnly));
    QCOMPARE(subject.readAll(), "Gewinn\xa0jetzt\r\nAngebot\r\n"_ba);
    f.From1->trigger();
    QCOMPARE(f.From_Checker->toPlainText(), u"spam@"_s);
    QVERIFY(dialogs.messages().isEmpty());
}

QTEST_MAIN(TestWindowFiles)
#include "tst_windowfiles.moc"
