#include "FWProgramLinksUnit.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString valueOf(const QString& entry, const QString& key)
{
    return QRegularExpression(u"^"_s + key + u"=(.*)$"_s, QRegularExpression::MultilineOption).match(entry).captured(1);
}

} // namespace

class TestProgramLinks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void createReplaceRemoveInEachPlace_data();
    void createReplaceRemoveInEachPlace();
    void createFails_data();
    void createFails();
    void entryIsValidAndQuotesTheProgram_data();
    void entryIsValidAndQuotesTheProgram();
    void removeLooksOnlyWhereToldNow();
    void defaultsAndComponentInfo();

private:
    QString program(const QString& folder) const { return m_root.filePath(u"programs/"_s + folder); }
    QString home(const QString& relative) const { return m_home + u'/' + relative; }
    void configure(TFWProgramLinks& links, const QString& programFolder, int location) const
    {
        // As the settings window sets it up: folder + "\Postrella.exe".
        links.setProgramFile(program(programFolder) + u"\\Postrella.exe"_s);
        links.setShortcutDescription(u"Postrella"_s);
        links.setShortcutFile(u"Postrella.lnk"_s);
        links.setLocation(static_cast<TFWProgramLinksLocations>(location));
    }

    QTemporaryDir m_root;
    QString m_home;
};

void TestProgramLinks::initTestCase()
{
    QVERIFY(m_root.isValid());
    m_home = m_root.filePath(u"home"_s);
    // Before anything asks where the user's folders are.
    qputenv("HOME", m_home.toUtf8());
    qputenv("XDG_CONFIG_HOME", home(u".config"_s).toUtf8());
    qputenv("XDG_DATA_HOME", home(u".local/share"_s).toUtf8());
    for (const QString& folder : {u"plain"_s, u"Post rella"_s, u"a\"b$c`d"_s, u"back\\slash"_s, u"100%"_s,
                                  u"with icon"_s, u"line\nbreak"_s, u"installed/bin"_s}) {
        QVERIFY(QDir().mkpath(program(folder)));
        QVERIFY(QFile(program(folder) + u"/Postrella"_s).open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile(program(u"with icon/Postrella.png"_s)).open(QIODevice::WriteOnly));
    QVERIFY(QDir().mkpath(program(u"installed/share/icons/hicolor/scalable/apps"_s)));
    QVERIFY(QFile(program(u"installed/share/icons/hicolor/scalable/apps/Postrella.svg"_s)).open(QIODevice::WriteOnly));
}

void TestProgramLinks::init()
{
    QDir(m_home).removeRecursively();
    QVERIFY(QDir().mkpath(m_home));
}

void TestProgramLinks::createReplaceRemoveInEachPlace_data()
{
    QTest::addColumn<int>("location");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QByteArray>("userDirs");
    QTest::newRow("autostart") << 0 << u".config/autostart/Postrella.desktop"_s << QByteArray();
    QTest::newRow("start menu") << 1 << u".local/share/applications/Postrella.desktop"_s << QByteArray();
    QTest::newRow("programs menu") << 2 << u".local/share/applications/Fernwick/Postrella.desktop"_s << QByteArray();
    QTest::newRow("favourites") << 3 << u".local/share/Fernwick/Favorites/Postrella.desktop"_s << QByteArray();
    QTest::newRow("desktop by default") << 4 << u"Desktop/Postrella.desktop"_s << QByteArray();
    QTest::newRow("desktop from user-dirs")
        << 4 << u"Schreib tisch/Postrella.desktop"_s << "XDG_DESKTOP_DIR=\"$HOME/Schreib tisch\"\n"_ba;
    QTest::newRow("send to") << 5 << u".local/share/Fernwick/SendTo/Postrella.desktop"_s << QByteArray();
    QTest::newRow("unknown value means desktop") << 9 << u"Desktop/Postrella.desktop"_s << QByteArray();
}

void TestProgramLinks::createReplaceRemoveInEachPlace()
{
    QFETCH(int, location);
    QFETCH(QString, expected);
    QFETCH(QByteArray, userDirs);
    if (!userDirs.isEmpty()) {
        QVERIFY(QDir().mkpath(home(u".config"_s)));
        QFile dirs(home(u".config/user-dirs.dirs"_s));
        QVERIFY(dirs.open(QIODevice::WriteOnly) && dirs.write(userDirs) == userDirs.size());
    }
    TFWProgramLinks links;
    configure(links, u"plain"_s, location);
    const QString path = home(expected);
    QCOMPARE(links.LocationFolder(), QFileInfo(path).path() + u'/');

    QVERIFY(links.CreateLink());
    const QString entry = u"[Desktop Entry]\nType=Application\nName=Postrella\nComment=Postrella\nExec="_s +
                          program(u"plain/Postrella"_s) + u"\nTerminal=false\nCategories=Network;Email;\n"_s;
    QCOMPARE(readFile(path), entry);
    // Owner, group and others; desktops want an executable entry on the desktop only.
    const bool desktop = location == 4 || location == 9;
    QCOMPARE(QFileInfo(path).permissions() & QFile::Permissions(0x7077), QFile::Permissions(desktop ? 0x7055 : 0x6044));
    QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"Postrella.desktop"_s});

    QVERIFY(QFile(path).open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY2(links.CreateLink(), "creating again replaces the entry");
    QCOMPARE(readFile(path), entry);

    QVERIFY(links.RemoveLink());
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY2(links.RemoveLink(), "nothing left to remove is a success");
}

void TestProgramLinks::createFails_data()
{
    QTest::addColumn<QString>("programFile");
    QTest::addColumn<QString>("blocker"); // in the home folder; a trailing "/" makes it a folder
    const QString exe = u"plain\\Postrella.exe"_s;
    QTest::newRow("no program") << QString() << QString();
    QTest::newRow("program missing") << u"plain\\Missing.exe"_s << QString();
    QTest::newRow("program is a folder") << u"plain"_s << QString();
    QTest::newRow("line break in program path") << u"line\nbreak\\Postrella.exe"_s << QString();
    QTest::newRow("desktop folder is a file") << exe << u"Desktop"_s;
    QTest::newRow("shortcut name taken by a folder") << exe << u"Desktop/Postrella.desktop/"_s;
}

void TestProgramLinks::createFails()
{
    QFETCH(QString, programFile);
    QFETCH(QString, blocker);
    if (blocker.endsWith(u'/'))
        QVERIFY(QDir().mkpath(home(blocker)));
    else if (!blocker.isEmpty())
        QVERIFY(QFile(home(blocker)).open(QIODevice::WriteOnly));
    TFWProgramLinks links;
    configure(links, QString(), 4);
    links.setProgramFile(programFile.isEmpty() ? QString() : program(programFile));
    QVERIFY(!links.CreateLink());
    QVERIFY(!QFileInfo(home(u"Desktop/Postrella.desktop"_s)).isFile());
}

void TestProgramLinks::entryIsValidAndQuotesTheProgram_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("exec"); // {p} stands for the folder of the test programs
    QTest::addColumn<QString>("icon");
    QTest::newRow("plain path") << u"plain"_s << u"{p}/plain/Postrella"_s << QString();
    QTest::newRow("spaces quoted") << u"Post rella"_s << u"\"{p}/Post rella/Postrella\""_s << QString();
    QTest::newRow("quote, dollar, backtick escaped twice")
        << u"a\"b$c`d"_s << u"\"{p}/a\\\\\"b\\\\$c\\\\`d/Postrella\""_s << QString();
    QTest::newRow("backslash escaped twice")
        << u"back\\slash"_s << u"\"{p}/back\\\\\\\\slash/Postrella\""_s << QString();
    QTest::newRow("percent doubled") << u"100%"_s << u"{p}/100%%/Postrella"_s << QString();
    QTest::newRow("icon beside the program")
        << u"with icon"_s << u"\"{p}/with icon/Postrella\""_s << u"{p}/with icon/Postrella.png"_s;
    QTest::newRow("installed: the icon of the theme")
        << u"installed/bin"_s << u"{p}/installed/bin/Postrella"_s << u"Postrella"_s;
}

void TestProgramLinks::entryIsValidAndQuotesTheProgram()
{
    QFETCH(QString, folder);
    QFETCH(QString, exec);
    QFETCH(QString, icon);
    TFWProgramLinks links;
    configure(links, folder, 2);
    QVERIFY(links.CreateLink());
    const QString path = home(u".local/share/applications/Fernwick/Postrella.desktop"_s);
    const QString entry = readFile(path);
    QCOMPARE(valueOf(entry, u"Exec"_s), exec.replace(u"{p}"_s, m_root.filePath(u"programs"_s)));
    QCOMPARE(valueOf(entry, u"Icon"_s), icon.replace(u"{p}"_s, m_root.filePath(u"programs"_s)));

    const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_s);
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed (Debian package desktop-file-utils)");
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(validator, {path});
    QVERIFY(run.waitForFinished());
    const QString output = QString::fromUtf8(run.readAll());
    QVERIFY2(run.exitCode() == 0 && !output.contains(u"error"_s), qPrintable(output));
}

void TestProgramLinks::removeLooksOnlyWhereToldNow()
{
    TFWProgramLinks links;
    configure(links, u"plain"_s, 4);
    QVERIFY(links.CreateLink());
    links.setLocation(TFWProgramLinksLocations::Menu_Autostart);
    links.setSubFolder(u"Fernwick\\"_s);
    QCOMPARE(links.SubFolder(), u"Fernwick"_s);
    QVERIFY(links.CreateLink());
    QVERIFY(links.RemoveLink());
    QVERIFY(!QFileInfo::exists(home(u".config/autostart/Fernwick/Postrella.desktop"_s)));
    QVERIFY2(QFileInfo(home(u".config/autostart/Fernwick"_s)).isDir(), "the sub-folder stays");
    QVERIFY2(QFileInfo(home(u"Desktop/Postrella.desktop"_s)).isFile(), "another location is not touched");
    links.setShortcutFile(QString());
    QVERIFY(!links.RemoveLink());
}

void TestProgramLinks::defaultsAndComponentInfo()
{
    TestEnvironment env;
    TFWProgramLinks links;
    QCOMPARE(links.Location(), TFWProgramLinksLocations::Menu_Programs);
    links.setProperty("CIVersion", u"9.99"_s);
    links.WriteComponentInfo(u"Software\\Fernwick\\FW-Postrella\\"_s);
    SettingsStore store;
    const QString key = u"CI\\TFWProgramLinks"_s;
    QCOMPARE(store.readString(key, u"Company"_s), u"Fernwick"_s);
    QCOMPARE(store.readString(key, u"Version"_s), u"1.01"_s);
    QCOMPARE(store.readString(key, u"Last Change"_s), u"01.02.2000"_s);
}

QTEST_GUILESS_MAIN(TestProgramLinks)
#include "tst_programlinks.moc"
