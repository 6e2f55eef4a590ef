#include "FWOnlineHelpDialog.h"
#include "FWOnlineHelpUnit.h"
#include "IniFile.h"
#include "OnlineHelpSetup.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kBasicD = u"help/source/basic_D.ohlp"_s;
const QString kBasicE = u"help/source/basic_E.ohlp"_s;
const QString kExtended = u"help/source/extended.ohlp"_s;
const QString kRecord = u"help/CurrentlyUncompressed.ini"_s;
const QString kBasicPage = u"help/index.htm"_s;
const QString kExtendedPage = u"help/extra/credits.htm"_s;

// Everything unpacked, but not the archives (and the record only when asked).
void wipeUnpacked(const TestEnvironment& env, bool keepRecord)
{
    QDir help(env.path(u"help"_s));
    for (const QFileInfo& entry : help.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (entry.fileName() == u"source"_s || (keepRecord && entry.fileName() == u"CurrentlyUncompressed.ini"_s))
            continue;
        if (entry.isDir())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

void setModified(const QString& path, const QDateTime& time)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestOnlineHelp : public QObject
{
    Q_OBJECT

private slots:
    void unpackDecisions_data();
    void unpackDecisions();
    void unchangedArchiveIsNotUnpackedAgain();
    void dayCountText_data();
    void dayCountText();
    void emptyLibraryPathUnpacksNothing();
    void preparation_data();
    void preparation();
    void shippedHelpResolvesEveryContext_data();
    void shippedHelpResolvesEveryContext();
    void propertiesAndComponentInfo();
};

void TestOnlineHelp::unpackDecisions_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("basicAgain");
    QTest::addColumn<bool>("additionalAgain");

    QTest::newRow("nothing changed") << u"none"_s << false << false;
    QTest::newRow("letter switched to E") << u"letter"_s << true << false;
    QTest::newRow("basic archive newer") << u"basic newer"_s << true << false;
    QTest::newRow("basic archive older") << u"basic older"_s << false << false;
    QTest::newRow("additional archive newer") << u"additional newer"_s << false << true;
    QTest::newRow("recorded time 0") << u"time=0"_s << true << false;
    QTest::newRow("recorded time empty") << u"time="_s << true << false;
    QTest::newRow("recorded time no number") << u"time=gestern"_s << true << false;
    QTest::newRow("recorded time negative") << u"time=-5"_s << true << false;
    QTest::newRow("record deleted") << u"no record"_s << true << true;
}

void TestOnlineHelp::unpackDecisions()
{
    QFETCH(QString, change);
    QFETCH(bool, basicAgain);
    QFETCH(bool, additionalAgain);
    TestEnvironment env;
    ScriptedDialogs dialogs;
    wipeUnpacked(env, false);
    TFWOnlineHelp help;
    configure(help, env);

    // First start: both archives unpacked with their folders, and recorded.
    QVERIFY(help.PrepareHelp());
    QVERIFY(QFile::exists(env.path(kBasicPage)));
    QVERIFY(QFile::exists(env.path(kExtendedPage)));
    const TIniFile record(env.path(kRecord));
    QCOMPARE(record.readString(u"FILES"_s, u"FILENAMEBASICHELP"_s), u"basic_D.ohlp"_s);
    QCOMPARE(record.readString(u"FILES"_s, u"FILENAMEADDITIONAL"_s), u"extended.ohlp"_s);
    QCOMPARE(record.readString(u"FILES"_s, u"DATE_FILENAMEBASICHELP"_s),
             TFWOnlineHelp::dayCountText(TFWOnlineHelp::fileDayCount(env.path(kBasicD))));
    QCOMPARE(record.readString(u"FILES"_s, u"DATE_FILENAMEADDITIONAL"_s),
             TFWOnlineHelp::dayCountText(TFWOnlineHelp::fileDayCount(env.path(kExtended))));

    wipeUnpacked(env, true);
    const QDateTime basicTime = QFileInfo(env.path(kBasicD)).lastModified();
    if (change == u"letter"_s)
        help.setLanguageCodeLetter(u"E"_s);
    else if (change == u"basic newer"_s)
        setModified(env.path(kBasicD), basicTime.addSecs(3600));
    else if (change == u"basic older"_s)
        setModified(env.path(kBasicD), basicTime.addDays(-1));
    else if (change == u"additional newer"_s)
        setModified(env.path(kExtended), QFileInfo(env.path(kExtended)).lastModified().addSecs(2));
    else if (change.startsWith(u"time="_s))
        QVERIFY(TIniFile(env.path(kRecord)).writeString(u"FILES"_s, u"DATE_FILENAMEBASICHELP"_s, change.mid(5)));
    else if (change == u"no record"_s)
        QVERIFY(QFile::remove(env.path(kRecord)));

    QVERIFY(help.PrepareHelp());
    QCOMPARE(QFile::exists(env.path(kBasicPage)), basicAgain);
    QCOMPARE(QFile::exists(env.path(kExtendedPage)), additionalAgain);
    if (change == u"letter"_s) {
        QVERIFY(readAll(env.path(kBasicPage)).contains(u"lang=\"en\""_s));
        QCOMPARE(record.readString(u"FILES"_s, u"FILENAMEBASICHELP"_s), u"basic_E.ohlp"_s);
    }
    QVERIFY(dialogs.messages().isEmpty());
}

void TestOnlineHelp::unchangedArchiveIsNotUnpackedAgain()
{
    // The recorded text is cut to 15 digits; however the archive time falls,
    // reading it back must not make the unchanged archive look newer.
    TestEnvironment env;
    ScriptedDialogs dialogs;
    TFWOnlineHelp help;
    configure(help, env);
    help.setFileNameAdditional(QString());
    const QDateTime start(QDate(2023, 3, 14), QTime(15, 9, 27, 123));
    for (int i = 0; i < 12; ++i) {
        const QDateTime time = start.addSecs(i * 7919 + i * i * 86400 * 3);
        setModified(env.path(kBasicD), time);
        wipeUnpacked(env, false);
        QVERIFY(help.PrepareHelp());
        QVERIFY(QFile::exists(env.path(kBasicPage)));
        wipeUnpacked(env, true);
        QVERIFY(help.PrepareHelp());
        QVERIFY2(!QFile::exists(env.path(kBasicPage)), qPrintable(time.toString(Qt::ISODateWithMs)));
    }
}

void TestOnlineHelp::dayCountText_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");

    const QDate day(2000, 2, 12);
    QTest::newRow("noon") << u"C"_s << QDateTime(day, QTime(12, 0)) << u"36568.5"_s;
    QTest::newRow("odd second cut to two") << u"C"_s << QDateTime(day, QTime(12, 0, 1, 900)) << u"36568.5"_s;
    QTest::newRow("German separator") << u"de_DE"_s << QDateTime(day, QTime(18, 0)) << u"36568,75"_s;
    QTest::newRow("epoch morning") << u"C"_s << QDateTime(QDate(1899, 12, 30), QTime(6, 0)) << u"0.25"_s;
}

void TestOnlineHelp::dayCountText()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const double days = TFWOnlineHelp::dayCount(time);
    const QString written = TFWOnlineHelp::dayCountText(days);
    const double readBack = TFWOnlineHelp::dayCountFromText(written);
    QLocale::setDefault(before);
    QCOMPARE(written, text);
    QCOMPARE(readBack, days);
}

void TestOnlineHelp::emptyLibraryPathUnpacksNothing()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    wipeUnpacked(env, false);
    TFWOnlineHelp help;
    configure(help, env, u"E"_s);
    help.setPathToUnzipLibrary(QString());

    QVERIFY(help.PrepareHelp());
    QVERIFY(!QFile::exists(env.path(kBasicPage)));
    QCOMPARE(TIniFile(env.path(kRecord)).readString(u"FILES"_s, u"FILENAMEBASICHELP"_s), u"basic_E.ohlp"_s);

    // The missing page is reported and the record goes, so a later run with
    // a library unpacks everything.
    QVERIFY(!help.ShowPage(u"index.htm"_s));
    QCOMPARE(dialogs.texts(), QStringList{u"Page not available!"_s});
    QVERIFY(!QFile::exists(env.path(kRecord)));
    QVERIFY(!help.helpWindow());

    help.setPathToUnzipLibrary(env.path(u"system"_s));
    QVERIFY(help.ShowPage(u"index.htm"_s));
    QVERIFY(QFile::exists(env.path(kExtendedPage)));
    QCOMPARE(dialogs.messages().size(), 1);
}

void TestOnlineHelp::preparation_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("ready");

    QTest::newRow("compressed path empty") << u"compressed="_s << false;
    QTest::newRow("compressed folder missing") << u"compressed=nowhere"_s << false;
    QTest::newRow("unpacked path empty") << u"unpacked="_s << false;
    QTest::newRow("unpacked folder created") << u"unpacked=fresh"_s << true;
    QTest::newRow("unpacked folder two levels missing") << u"unpacked=fresh/deeper"_s << false;
    QTest::newRow("damaged basic archive") << u"damaged"_s << false;
    QTest::newRow("no archive present") << u"no archives"_s << true;
}

void TestOnlineHelp::preparation()
{
    QFETCH(QString, setup);
    QFETCH(bool, ready);
    TestEnvironment env;
    ScriptedDialogs dialogs;
    wipeUnpacked(env, false);
    TFWOnlineHelp help;
    configure(help, env, u"E"_s);
    QString unpacked = env.path(u"help"_s);

    if (setup == u"compressed="_s)
        help.setPathToCompressedHelp(QString());
    else if (setup == u"compressed=nowhere"_s)
        help.setPathToCompressedHelp(env.path(u"nowhere"_s));
    else if (setup.startsWith(u"unpacked="_s))
        help.setPathToUncompressedHelp(unpacked = setup.mid(9).isEmpty() ? QString() : env.path(setup.mid(9)));
    else if (setup == u"damaged"_s) {
        QFile archive(env.path(kBasicE));
        QVERIFY(archive.open(QIODevice::WriteOnly | QIODevice::Truncate));
        archive.write("PK\x03\x04 this is no archive");
    } else if (setup == u"no archives"_s) {
        for (const QString& name : {kBasicD, kBasicE, kExtended})
            QVERIFY(QFile::remove(env.path(name)));
    }

    QCOMPARE(help.PrepareHelp(), ready);
    if (setup == u"unpacked=fresh"_s)
        QVERIFY(QFile::exists(env.path(u"fresh/index.htm"_s)));
    if (setup == u"damaged"_s)
        QVERIFY(!QFile::exists(env.path(kRecord)));

    dialogs.clear();
    const bool shown = help.ShowPage(u"index.htm"_s);
    if (!ready) {
        QVERIFY(!shown);
        QCOMPARE(dialogs.messages().last().text, u"Error while preparing Online-Help!"_s);
        QCOMPARE(dialogs.messages().last().kind, Dialogs::Kind::Error);
        QCOMPARE(dialogs.messages().last().buttons, Dialogs::Buttons(Dialogs::Ok));
        QVERIFY(!help.helpWindow());
    }
}

void TestOnlineHelp::shippedHelpResolvesEveryContext_data()
{
    QTest::addColumn<QString>("letter");
    QTest::newRow("German") << u"D"_s;
    QTest::newRow("English") << u"E"_s;
}

void TestOnlineHelp::shippedHelpResolvesEveryContext()
{
    QFETCH(QString, letter);
    TestEnvironment env;
    ScriptedDialogs dialogs;
    wipeUnpacked(env, false);
    TFWOnlineHelp help;
    configure(help, env, letter);
    QVERIFY(help.PrepareHelp());

    const TIniFile index(env.path(u"help/source/HelpIndex.ini"_s));
    for (const int context : {0, 1, 2, 3, 4, 100, 101, 102, 103, 104, 105, 107}) {
        const QString page = index.readString(u"INDEX"_s, QString::number(context));
        QVERIFY2(!page.isEmpty() && QFile::exists(env.path(u"help/"_s + page)), qPrintable(QString::number(context)));
        QVERIFY(help.ShowContext(context));
    }
    QVERIFY(help.ShowPage(u"index.htm"_s));
    QVERIFY(readAll(env.path(kBasicPage)).contains(letter == u"D"_s ? u"lang=\"de\""_s : u"lang=\"en\""_s));

    // Every link between the pages leads to a page that is there.
    static const QRegularExpression href(u"href=\"([^\"]+)\""_s);
    QDirIterator pages(env.path(u"help"_s), {u"*.htm"_s}, QDir::Files, QDirIterator::Subdirectories);
    int count = 0;
    while (pages.hasNext()) {
        const QFileInfo page(pages.next());
        ++count;
        for (const auto& match : href.globalMatch(readAll(page.filePath()))) {
            const QUrl target(match.captured(1));
            if (!target.scheme().isEmpty())
                continue;
            QVERIFY2(QFile::exists(page.dir().filePath(target.path())),
                     qPrintable(page.fileName() + u" -> "_s + match.captured(1)));
        }
    }
    QCOMPARE(count, 18);
    QVERIFY(dialogs.messages().isEmpty());
}

void TestOnlineHelp::propertiesAndComponentInfo()
{
    TestEnvironment env;
    TFWOnlineHelp help;
    QCOMPARE(help.LanguageCodeLetter(), u"E"_s);
    QCOMPARE(help.ContentsPage(), u"index.htm"_s);
    QCOMPARE(help.LanguageFileName(u"basic.ohlp"_s), u"basic_E.ohlp"_s);
    help.setLanguageCodeLetter(u"d"_s);
    QCOMPARE(help.LanguageFileName(u"basic.help.zip"_s), u"basic_D.help.zip"_s);
    QCOMPARE(help.LanguageFileName(u"basic"_s), u"basic_D"_s);

    help.setRegistryKey(u"Software\\Fernwick\\FW-Postrella\\OnlineHelp\\"_s);
    QCOMPARE(help.RegistryKey(), u"Software\\Fernwick\\FW-Postrella\\OnlineHelp\\OnlineHelp"_s);
    help.setPathToCompressedHelp(u"/opt/postrella/help/source/"_s);
    QCOMPARE(help.PathToCompressedHelp(), u"/opt/postrella/help/source"_s);
    help.setPathToUncompressedHelp(u"C:\\Postrella\\help\\"_s);
    QCOMPARE(help.PathToUncompressedHelp(), u"C:\\Postrella\\help"_s);

    help.setCIVersion(u"9.99"_s);
    help.setCILastCompile(u"01.01.2030"_s);
    help.WriteComponentInfo(u"Software\\Fernwick\\FW-Postrella\\"_s);
    SettingsStore store;
    const QString key = u"Software\\Fernwick\\FW-Postrella\\CI\\TFWOnlineHelp"_s;
    QCOMPARE(store.readString(key, u"Company"_s), u"Fernwick"_s);
    QCOMPARE(store.readString(key, u"Version"_s), u"1.02"_s);
    QCOMPARE(store.readString(key, u"Last Change"_s), u"12.02.2000"_s);
}

QTEST_MAIN(TestOnlineHelp)
#include "tst_onlinehelp.moc"
