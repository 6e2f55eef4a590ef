#include "IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <climits>

using namespace Qt::StringLiterals;

namespace {

// A rating file as the program ships it, with the quirks real files have.
const QByteArray kRatingFile = "; rating of attachment extensions\n"
                               "orphan=before any section\n"
                               "[.EXE]\n"
                               "  Name =  Programm  \n"
                               "Stufe=0x1F\n"
                               "Empfehlung=\"Nicht \xF6\x66\x66nen\"\n"
                               "NAME=second spelling\n"
                               "[ .exe ]\n"
                               "Extra=in a repeated section\n"
                               "[Numbers]\n"
                               ";commented=1\n"
                               "dec=42\nneg=-7\ndollar=$ff\nupper=0XfF\nallbits=$FFFFFFFF\nmin=-2147483648\n"
                               "big=2147483648\ngarbage=12abc\nletters=abc\nbare=$\nempty=\n"
                               "long="_ba +
                               QByteArray(3000, 'a') + "\n[Last]\nkey=no line end";

QByteArray withBreak(QByteArray text, const QByteArray& lineBreak)
{
    return text.replace("\n", lineBreak);
}

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void readsWithPrivateProfileRules_data();
    void readsWithPrivateProfileRules();
    void readsIntegers_data();
    void readsIntegers();
    void missingFileGivesDefaults();
    void writingKeepsEverythingElse_data();
    void writingKeepsEverythingElse();
    void refusesWritesThatWouldBreakTheFile();

private:
    QTemporaryDir m_dir;
};

void TestIniFile::readsWithPrivateProfileRules_data()
{
    QTest::addColumn<QByteArray>("lineBreak");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const QString dflt = u"<default>"_s;
    for (const QByteArray& lb : {"\r\n"_ba, "\n"_ba}) {
        const char* kind = lb.size() == 2 ? "CR LF" : "LF";
        auto row = [&](const char* name) -> QTestData& { return QTest::addRow("%s, %s", name, kind) << lb; };
        row("names compare without case") << u".exe"_s << u"nAmE"_s << u"Programm"_s;
        row("first key wins") << u".EXE"_s << u"Name"_s << u"Programm"_s;
        row("repeated section is not read") << u".EXE"_s << u"Extra"_s << dflt;
        row("quotes dropped, Windows-1252 decoded") << u".exe"_s << u"Empfehlung"_s << u"Nicht öffnen"_s;
        row("line before any section") << QString() << u"orphan"_s << dflt;
        row("comment is no key") << u"Numbers"_s << u";commented"_s << dflt;
        row("empty value is not the default") << u"Numbers"_s << u"empty"_s << QString();
        row("value cut to 2047") << u"numbers"_s << u"long"_s << QString(2047, u'a');
        row("last line without line end") << u"Last"_s << u"key"_s << u"no line end"_s;
        row("missing section") << u".zip"_s << u"Name"_s << dflt;
        row("missing key") << u".exe"_s << u"Art"_s << dflt;
    }
}

void TestIniFile::readsWithPrivateProfileRules()
{
    QFETCH(QByteArray, lineBreak);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QFile file(m_dir.filePath(u"Endung.ini"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(withBreak(kRatingFile, lineBreak)) > 0);
    file.close();
    TIniFile ini(file.fileName());
    QCOMPARE(ini.readString(section, key, u"<default>"_s), expected);
    QCOMPARE(ini.sections(), QStringList({u".EXE"_s, u"Numbers"_s, u"Last"_s}));
    QCOMPARE(ini.keys(u".exe"_s), QStringList({u"Name"_s, u"Stufe"_s, u"Empfehlung"_s}));
}

void TestIniFile::readsIntegers_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("decimal") << u"dec"_s << 42;
    QTest::newRow("negative decimal") << u"neg"_s << -7;
    QTest::newRow("dollar hexadecimal") << u"dollar"_s << 255;
    QTest::newRow("0X hexadecimal, any case") << u"upper"_s << 255;
    QTest::newRow("hexadecimal is the 32-bit pattern") << u"allbits"_s << -1;
    QTest::newRow("smallest integer") << u"min"_s << INT_MIN;
    QTest::newRow("too large") << u"big"_s << 99;
    QTest::newRow("digits then letters") << u"garbage"_s << 99;
    QTest::newRow("letters") << u"letters"_s << 99;
    QTest::newRow("prefix without digits") << u"bare"_s << 99;
    QTest::newRow("empty") << u"empty"_s << 99;
    QTest::newRow("missing") << u"nothing"_s << 99;
}

void TestIniFile::readsIntegers()
{
    QFETCH(QString, key);
    QFETCH(int, expected);
    QFile file(m_dir.filePath(u"numbers.ini"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kRatingFile) > 0);
    file.close();
    QCOMPARE(TIniFile(file.fileName()).readInteger(u"NUMBERS"_s, key, 99), expected);
    QCOMPARE(TIniFile(file.fileName()).readInteger(u".exe"_s, u"Stufe"_s, 0), 31);
}

void TestIniFile::missingFileGivesDefaults()
{
    TIniFile ini(m_dir.filePath(u"absent.ini"_s));
    QVERIFY(!ini.exists() && !ini.isReadable());
    QCOMPARE(ini.readString(u"INDEX"_s, u"3"_s, u"d"_s), u"d"_s);
    QCOMPARE(ini.readInteger(u"INDEX"_s, u"3"_s, 5), 5);
    QVERIFY(ini.sections().isEmpty() && ini.keys(u"INDEX"_s).isEmpty());
    QVERIFY(ini.deleteKey(u"INDEX"_s, u"3"_s));
    QVERIFY(!ini.exists());
}

void TestIniFile::writingKeepsEverythingElse_data()
{
    QTest::addColumn<QByteArray>("lineBreak");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<std::function<bool(TIniFile&)>>("change");
    QTest::addColumn<QByteArray>("after");
    const QByteArray file = "; record\n[FILES]\nFileNameBasicHelp = basic_D.ohlp\nDATE=1\n\n; next\n[Other]\nx=1";
    for (const QByteArray& lb : {"\r\n"_ba, "\n"_ba}) {
        const char* kind = lb.size() == 2 ? "CR LF" : "LF";
        auto row = [&](const char* name, const QByteArray& before, std::function<bool(TIniFile&)> change,
                       const QByteArray& after) {
            QTest::addRow("%s, %s", name, kind) << lb << withBreak(before, lb) << change << withBreak(after, lb);
        };
        row(
            "replace a value, stored spelling kept", file,
            [](TIniFile& ini) { return ini.writeString(u"files"_s, u"FILENAMEBASICHELP"_s, u"basic_E.ohlp"_s); },
            "; record\n[FILES]\nFileNameBasicHelp=basic_E.ohlp\nDATE=1\n\n; next\n[Other]\nx=1");
        row(
            "new key after the section's last key", file,
            [](TIniFile& ini) { return ini.writeString(u"FILES"_s, u"FILENAMEADDITIONAL"_s, u"extended.ohlp"_s); },
            "; record\n[FILES]\nFileNameBasicHelp = basic_D.ohlp\nDATE=1\nFILENAMEADDITIONAL=extended.ohlp\n\n; "
            "next\n[Other]\nx=1");
        row(
            "new section after a last line without line end", file,
            [](TIniFile& ini) { return ini.writeInteger(u"New"_s, u"n"_s, -3); }, file + "\n[New]\nn=-3\n");
        row(
            "delete a key", file, [](TIniFile& ini) { return ini.deleteKey(u"files"_s, u"date"_s); },
            "; record\n[FILES]\nFileNameBasicHelp = basic_D.ohlp\n\n; next\n[Other]\nx=1");
        row(
            "delete a section", file, [](TIniFile& ini) { return ini.deleteSection(u"FILES"_s); },
            "; record\n[Other]\nx=1");
    }
    QTest::newRow("new file is CR LF") << "\r\n"_ba << QByteArray()
                                       << std::function<bool(TIniFile&)>([](TIniFile& ini) {
                                              return ini.writeString(u"INDEX"_s, u"3"_s, u"prüfen.htm"_s);
                                          })
                                       << "[INDEX]\r\n3=pr\xFC\x66\x65n.htm\r\n"_ba;
}

void TestIniFile::writingKeepsEverythingElse()
{
    QFETCH(QByteArray, before);
    QFETCH(std::function<bool(TIniFile&)>, change);
    QFETCH(QByteArray, after);
    const QString path = m_dir.filePath(u"record.ini"_s);
    QFile::remove(path);
    if (!before.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
    }
    TIniFile ini(path);
    QVERIFY(change(ini));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), after);
}

void TestIniFile::refusesWritesThatWouldBreakTheFile()
{
    const QString path = m_dir.filePath(u"guarded.ini"_s);
    TIniFile ini(path);
    QVERIFY(ini.writeString(u"S"_s, u"k"_s, u"v"_s));
    QVERIFY(!ini.writeString(u"S"_s, u"k"_s, u"v\r\n[Evil]\r\nx=1"_s));
    QVERIFY(!ini.writeString(u"S"_s, u"a=b"_s, u"v"_s));
    QVERIFY(!ini.writeString(u"S]x"_s, u"k"_s, u"v"_s));
    QCOMPARE(ini.sections(), QStringList{u"S"_s});
    QCOMPARE(ini.readString(u"s"_s, u"K"_s), u"v"_s);
    QVERIFY(!TIniFile(m_dir.filePath(u"no/such/folder/x.ini"_s)).writeString(u"S"_s, u"k"_s, u"v"_s));
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
