#include "ProgramFolder.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "<missing>"_ba;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool ownerOnly(const QString& path)
{
    const QFile::Permissions others =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    return QFileInfo(path).exists() && !(QFile::permissions(path) & others);
}

} // namespace

// Where the program reads what it ships and writes what it makes, for a
// program folder of its own, a read-only one and an installed one.
class TestProgramFolder : public QObject
{
    Q_OBJECT

private slots:
    void writableFolderKeepsEverythingBesideTheProgram();
    void readOnlyFolderWritesToTheUsersFolders();
    void installedProgramNeverWritesIntoTheInstallation();
    void listsAreSeededOnceAndNeverOverwritten();
};

void TestProgramFolder::writableFolderKeepsEverythingBesideTheProgram()
{
    TestEnvironment env;
    QVERIFY(ProgramFolder::isPortable());
    QCOMPARE(ProgramFolder::dataPath(), env.programFolder());
    QCOMPARE(ProgramFolder::file(u"\\init\\Endung.ini"_s), env.path(u"init/Endung.ini"_s));
    QCOMPARE(ProgramFolder::scratchFolder(), env.path(u"temp"_s));
    QCOMPARE(ProgramFolder::unpackedHelpFolder(), env.path(u"help"_s));
    QCOMPARE(ProgramFolder::userList(u"Betreff_User.ini"_s), env.path(u"init/Betreff_User.ini"_s));
    // Nothing reaches the user's folders.
    QVERIFY(!QFileInfo::exists(env.dataHome() + u"/Postrella"_s));
    QVERIFY(!QFileInfo::exists(env.cacheHome() + u"/Postrella"_s));
}

void TestProgramFolder::readOnlyFolderWritesToTheUsersFolders()
{
    TestEnvironment env;
    QVERIFY(writeFile(env.path(u"init/Absender_User.ini"_s), "spam@example.org\r\n"));
    ReadOnlyFolder readOnly(env.programFolder());
    if (!readOnly.isReadOnly())
        QSKIP("this process can write into read-only folders");

    QVERIFY(!ProgramFolder::isPortable());
    // The shipped files are still read from the program folder.
    QCOMPARE(ProgramFolder::file(u"\\language"_s), env.path(u"language"_s));

    const QString scratch = ProgramFolder::scratchFolder();
    const QString help = ProgramFolder::unpackedHelpFolder();
    const QString senders = ProgramFolder::userList(u"Absender_User.ini"_s);
    QCOMPARE(scratch, env.cacheHome() + u"/Postrella/temp"_s);
    QCOMPARE(help, env.cacheHome() + u"/Postrella/help"_s);
    QCOMPARE(senders, env.dataHome() + u"/Postrella/init/Absender_User.ini"_s);
    QCOMPARE(contents(senders), "spam@example.org\r\n"_ba);
    for (const QString& folder : QStringList{scratch, help, env.cacheHome() + u"/Postrella"_s,
                                             env.dataHome() + u"/Postrella"_s, QFileInfo(senders).path()}) {
        QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));
        QVERIFY2(ownerOnly(folder), qPrintable(folder));
    }
    QVERIFY(ownerOnly(senders));
    QVERIFY(QFileInfo(senders).isWritable());
}

void TestProgramFolder::installedProgramNeverWritesIntoTheInstallation()
{
    // <prefix>/bin holds the executable, <prefix>/share/postrella the shipped
    // files, as after an installation; both writable, as they are for root.
    TestEnvironment env;
    const QString prefix = QFileInfo(env.programFolder()).path() + u"/usr"_s;
    const QString shared = prefix + u"/share/postrella"_s;
    QVERIFY(QDir().mkpath(prefix + u"/bin"_s) && QDir().mkpath(prefix + u"/share"_s));
    QVERIFY(QDir().rename(env.programFolder(), shared));
    ProgramFolder::setOverride(prefix + u"/bin"_s);

    QCOMPARE(ProgramFolder::dataPath(), shared);
    QCOMPARE(ProgramFolder::file(u"\\init\\Betreff.ini"_s), shared + u"/init/Betreff.ini"_s);
    QVERIFY(!ProgramFolder::isPortable());
    QCOMPARE(ProgramFolder::scratchFolder(), env.cacheHome() + u"/Postrella/temp"_s);
    QCOMPARE(ProgramFolder::userList(u"Betreff_User.ini"_s), env.dataHome() + u"/Postrella/init/Betreff_User.ini"_s);
    QCOMPARE(QDir(prefix + u"/bin"_s).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void TestProgramFolder::listsAreSeededOnceAndNeverOverwritten()
{
    TestEnvironment env;
    QVERIFY(writeFile(env.path(u"init/Betreff_User.ini"_s), "Gewinn\r\n"));
    QVERIFY(QFile::remove(env.path(u"init/Absender_User.ini"_s)));
    ReadOnlyFolder readOnly(env.programFolder());
    if (!readOnly.isReadOnly())
        QSKIP("this process can write into read-only folders");

    const QString subjects = ProgramFolder::userList(u"Betreff_User.ini"_s);
    QCOMPARE(contents(subjects), "Gewinn\r\n"_ba);
    // The user's own list wins over the shipped one from now on, even empty.
    QVERIFY(writeFile(subjects, ""));
    QCOMPARE(ProgramFolder::userList(u"Betreff_User.ini"_s), subjects);
    QCOMPARE(contents(subjects), ""_ba);

    // No shipped list: nothing is made up; saving creates it later.
    const QString senders = ProgramFolder::userList(u"Absender_User.ini"_s);
    QVERIFY(!QFileInfo::exists(senders));
    QVERIFY(writeFile(senders, "a@b\r\n"));
    QCOMPARE(contents(ProgramFolder::userList(u"Absender_User.ini"_s)), "a@b\r\n"_ba);
}

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
