#include "FWLanguageLink.h"
#include "FWLanguageUnit.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kMissingDe = u"Sprachdatei nicht gefunden !"_s;
const QString kCorruptDe = u"Datei ist fehlerhaft oder keine gültige Sprachdatei !"_s;
const QString kCorruptEn = u"File is corrupt or no valid language-file !"_s;

QByteArray header(const QByteArray& letter = "D"_ba, const QByteArray& number = "1"_ba)
{
    return "Test texts\r\n"_ba + letter + "\r\nfree text\r\n" + number + "\r\n";
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void lookup_data();
    void lookup();
    void corruptFile_data();
    void corruptFile();
    void settersReportMissingFiles();
    void extensionBecomesLng_data();
    void extensionBecomesLng();
    void codeLetter_data();
    void codeLetter();
    void shippedGermanFile();
    void shippedEnglishFileHasEveryText();
    void startFile_data();
    void startFile();
    void componentInfo();

private:
    QTemporaryDir m_dir;
};

void TestLanguage::lookup_data()
{
    QTest::addColumn<QByteArray>("body"); // what follows the four header lines
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("expected");
    const QByteArray sorted = "1,Eins\r\n5,F\xfcnf\r\n9,Neun\r\n"_ba;
    QTest::newRow("found, decoded from Windows-1252") << sorted << 5 << u"Fünf"_s;
    QTest::newRow("first entry") << sorted << 1 << u"Eins"_s;
    QTest::newRow("last entry") << sorted << 9 << u"Neun"_s;
    QTest::newRow("between two entries") << sorted << 6 << QString();
    QTest::newRow("above the last") << sorted << 10 << QString();
    QTest::newRow("below the first") << sorted << 0 << QString();
    QTest::newRow("header only") << QByteArray() << 1 << QString();
    QTest::newRow("further comma is text") << "3,a\r\n12,one, two\r\n"_ba << 12 << u"one, two"_s;
    QTest::newRow("empty text after the comma") << "3,a\r\n12,\r\n20,b\r\n"_ba << 12 << QString();
    QTest::newRow("blanks are kept") << "7, spaced \r\n"_ba << 7 << u" spaced "_s;
    QTest::newRow("highest number") << "1,a\r\n65535,last\r\n"_ba << 65535 << u"last"_s;
    QTest::newRow("leading zeros") << "1,a\r\n0000012,twelve\r\n"_ba << 12 << u"twelve"_s;
    QTest::newRow("duplicates: the one met first") << "1,a\r\n3,x\r\n3,y\r\n5,b\r\n"_ba << 3 << u"x"_s;
    QTest::newRow("out of order: present but missed") << "1,a\r\n9,b\r\n3,c\r\n5,d\r\n7,e\r\n"_ba << 9 << QString();
    const QByteArray broken = "1,a\r\nx,broken\r\n5,b\r\nno comma\r\n9,c\r\n\r\n70000,big\r\n"_ba;
    QTest::newRow("unreadable lines skipped: above") << broken << 9 << u"c"_s;
    QTest::newRow("unreadable lines skipped: below") << broken << 1 << u"a"_s;
    QTest::newRow("unreadable lines skipped: middle") << broken << 5 << u"b"_s;
    QTest::newRow("beyond 16 bits is unreadable") << broken << 70000 % 65536 << QString();
    QTest::newRow("only unreadable lines") << "a,b\r\n-1,c\r\n"_ba << 1 << QString();
    QTest::newRow("Ctrl-Z ends the file") << "1,a\r\n2,b\x1a\r\n3,c\r\n"_ba << 2 << u"b"_s;
    QTest::newRow("nothing after Ctrl-Z") << "1,a\r\n2,b\x1a\r\n3,c\r\n"_ba << 3 << QString();
    QTest::newRow("bare LF stays in the text") << "1,line\nmore\r\n2,x\r\n"_ba << 1 << u"line\nmore"_s;
    QTest::newRow("CR alone ends a line") << "1,a\r2,b\r"_ba << 2 << u"b"_s;
    QTest::newRow("no line end after the last entry") << "1,a\r\n2,b"_ba << 2 << u"b"_s;
}

void TestLanguage::lookup()
{
    QFETCH(QByteArray, body);
    QFETCH(int, number);
    QFETCH(QString, expected);
    ScriptedDialogs dialogs;
    writeFile(m_dir.filePath(u"lookup.lng"_s), header() + body);
    TFWLanguage language;
    language.setPath(m_dir.path());
    language.setFileName(u"lookup.lng"_s);
    QCOMPARE(language.GetText(quint16(number)), expected);
    QVERIFY(dialogs.texts().isEmpty());
}

void TestLanguage::corruptFile_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<TLangDialog>("dialogLanguage");
    QTest::addColumn<QString>("message"); // empty: the file is sound
    const auto de = TLangDialog::Deutsch;
    QTest::newRow("letters in line 4") << header("D"_ba, "abc"_ba) + "1,a\r\n" << de << kCorruptDe;
    QTest::newRow("English message") << header("D"_ba, "abc"_ba) + "1,a\r\n" << TLangDialog::English << kCorruptEn;
    QTest::newRow("hex is not decimal") << header("D"_ba, "0x10"_ba) + "1,a\r\n" << de << kCorruptDe;
    QTest::newRow("number then text") << header("D"_ba, "12x"_ba) + "1,a\r\n" << de << kCorruptDe;
    QTest::newRow("file ends before line 4") << "one\r\nD\r\nthree\r\n"_ba << de << kCorruptDe;
    QTest::newRow("blanks around the number") << header("D"_ba, " 42 "_ba) + "1,a\r\n" << de << QString();
    QTest::newRow("negative number") << header("D"_ba, "-7"_ba) + "1,a\r\n" << de << QString();
}

void TestLanguage::corruptFile()
{
    QFETCH(QByteArray, data);
    QFETCH(TLangDialog, dialogLanguage);
    QFETCH(QString, message);
    ScriptedDialogs dialogs;
    writeFile(m_dir.filePath(u"corrupt.lng"_s), data);
    TFWLanguage language;
    language.setLanguageOfDialog(dialogLanguage);
    language.setPath(m_dir.path());
    language.setFileName(u"corrupt.lng"_s);
    QCOMPARE(language.codeLetter(), u"D"_s); // what was read before the failure stays
    QCOMPARE(dialogs.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(language.GetText(1), message.isEmpty() ? u"a"_s : QString());
    if (!message.isEmpty())
        QCOMPARE(dialogs.messages().constFirst().kind, Dialogs::Kind::Error);
}

void TestLanguage::settersReportMissingFiles()
{
    ScriptedDialogs dialogs;
    writeFile(m_dir.filePath(u"old.lng"_s), header() + "1,before\r\n");
    TFWLanguage language;
    language.setLanguageOfDialog(TLangDialog::Deutsch);
    language.setPath(m_dir.path() + u'\\'); // one trailing separator is dropped
    QCOMPARE(language.Path(), m_dir.path());
    language.setFileName(u"old.lng"_s);
    QCOMPARE(language.GetText(1), u"before"_s);

    // A failed change keeps the old name and reads the old file again.
    writeFile(m_dir.filePath(u"old.lng"_s), header() + "1,after\r\n");
    language.setFileName(u"gone.lng"_s);
    QCOMPARE(dialogs.texts(), QStringList{kMissingDe});
    QCOMPARE(language.FileName(), u"old.lng"_s);
    QCOMPARE(language.GetText(1), u"after"_s);

    dialogs.clear();
    language.setPath(m_dir.filePath(u"elsewhere/"_s));
    QCOMPARE(dialogs.texts(), QStringList{kMissingDe});
    QCOMPARE(language.GetText(1), QString());

    // An empty name is no missing file: the list is just emptied.
    dialogs.clear();
    language.setPath(m_dir.path());
    language.setFileName(QString());
    QVERIFY(dialogs.texts().isEmpty());
    QCOMPARE(language.GetText(1), QString());
}

void TestLanguage::extensionBecomesLng_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no extension") << u"plain"_s << u"plain.LNG"_s;
    QTest::newRow("lower case .lng stays") << u"deutsch.lng"_s << u"deutsch.lng"_s;
    QTest::newRow("mixed case .Lng stays") << u"Mixed.Lng"_s << u"Mixed.Lng"_s;
    QTest::newRow("other extension replaced") << u"texts.txt"_s << u"texts.LNG"_s;
    QTest::newRow("only the last extension") << u"a.b.txt"_s << u"a.b.LNG"_s;
}

void TestLanguage::extensionBecomesLng()
{
    QFETCH(QString, given);
    QFETCH(QString, expected);
    ScriptedDialogs dialogs;
    writeFile(m_dir.filePath(expected), header() + "4,ok\r\n");
    TFWLanguage language;
    language.setPath(m_dir.path());
    language.setFileName(given);
    QCOMPARE(language.FileName(), expected);
    QCOMPARE(language.GetText(4), u"ok"_s);
    QVERIFY(dialogs.texts().isEmpty());
}

void TestLanguage::codeLetter_data()
{
    QTest::addColumn<QByteArray>("line2"); // null: no language component linked
    QTest::addColumn<QString>("own");
    QTest::addColumn<QString>("letter");
    QTest::newRow("file: exactly D") << "D"_ba << u"E"_s << u"D"_s;
    QTest::newRow("file: lower-case d") << "d"_ba << u"D"_s << u"d"_s;
    QTest::newRow("file: D and a blank") << "D "_ba << u"D"_s << u"D "_s;
    QTest::newRow("own: d is stored as D") << QByteArray() << u"d"_s << u"D"_s;
    QTest::newRow("own: anything else is E") << QByteArray() << u"Deutsch"_s << u"E"_s;
}

void TestLanguage::codeLetter()
{
    QFETCH(QByteArray, line2);
    QFETCH(QString, own);
    QFETCH(QString, letter);
    ScriptedDialogs dialogs;
    TFWLanguageLink link;
    link.setLanguageCodeLetter(own);
    TFWLanguage language;
    if (!line2.isNull()) {
        link.setLanguage(&language);
        QCOMPARE(link.LanguageCodeLetter(), u"E"_s); // nothing read yet
        writeFile(m_dir.filePath(u"letter.lng"_s), header(line2));
        language.setPath(m_dir.path());
        language.setFileName(u"letter.lng"_s);
    }
    QCOMPARE(link.LanguageCodeLetter(), letter);
    QCOMPARE(link.isGerman(), letter == u"D"_s);
}

void TestLanguage::shippedGermanFile()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    TFWLanguage language;
    language.setPath(env.path(u"language"_s));
    language.setFileName(u"deutsch.lng"_s);
    QVERIFY(dialogs.texts().isEmpty());
    QCOMPARE(language.codeLetter(), u"D"_s);

    QFile file(env.path(u"language/deutsch.lng"_s));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    int previous = -1;
    for (qsizetype i = 4; i < lines.size() - 1; ++i) {
        QVERIFY2(lines.at(i).endsWith('\r'), lines.at(i).constData());
        const int number = lines.at(i).left(lines.at(i).indexOf(',')).toInt();
        QVERIFY2(number > previous, lines.at(i).constData());
        previous = number;
    }
    QList<int> used{1, 2, 5, 46, 47, 49, 64, 65};
    for (const auto& [from, to] : {std::pair{8, 18}, {21, 25}, {35, 44}, {57, 59}, {68, 72}, {74, 91}, {106, 113}})
        for (int n = from; n <= to; ++n)
            used.append(n);
    for (const int n : used)
        QVERIFY2(!language.GetText(quint16(n)).isEmpty(), QByteArray::number(n).constData());
    QVERIFY(language.GetText(35).startsWith(u' ')); // follows a count directly
    QCOMPARE(language.GetText(8), u"Prüfen"_s);     // named so in the no-list message
}

void TestLanguage::componentInfo()
{
    TestEnvironment env;
    TFWLanguage language;
    language.setProperty("CIVersion", u"9.99"_s); // ignored
    language.WriteComponentInfo(u"Software\\Fernwick\\FW-Postrella\\"_s);
    SettingsStore store;
    const QString key = u"Software\\Fernwick\\FW-Postrella\\CI\\TFWLanguage"_s;
    QCOMPARE(store.readString(key, u"Company"_s), u"Fernwick"_s);
    QCOMPARE(store.readString(key, u"Version"_s), u"1.05"_s);
    QCOMPARE(store.readString(key, u"Last Change"_s), u"01.02.2000"_s);
}

void TestLanguage::shippedEnglishFileHasEveryText()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    TFWLanguage german;
    german.setPath(env.path(u"language"_s));
    german.setFileName(u"deutsch.lng"_s);
    TFWLanguage english;
    english.setPath(env.path(u"language"_s));
    english.setFileName(u"english.lng"_s);
    QVERIFY(dialogs.texts().isEmpty());
    QCOMPARE(english.codeLetter(), u"E"_s);
    for (int n = 0; n <= 0xffff; ++n) {
        if (!german.GetText(quint16(n)).isEmpty())
            QVERIFY2(!english.GetText(quint16(n)).isEmpty(), QByteArray::number(n).constData());
    }
    QVERIFY(english.GetText(35).startsWith(u' '));
}

void TestLanguage::startFile_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("locale"); // LC_ALL, LC_MESSAGES, LANG
    QTest::addColumn<QString>("expected");
    const QString de = u"deutsch.lng"_s;
    const QString en = u"english.lng"_s;
    QTest::newRow("stored file wins over the locale") << en << QStringList{u"de_DE.UTF-8"_s, {}, {}} << en;
    QTest::newRow("stored file missing: locale") << u"français.lng"_s << QStringList{{}, {}, u"de_AT"_s} << de;
    QTest::newRow("stored path is no file name") << u"../language/english.lng"_s << QStringList{u"de"_s, {}, {}} << de;
    QTest::newRow("LC_ALL decides first") << QString() << QStringList{u"en_GB"_s, u"de_DE"_s, u"de_DE"_s} << en;
    QTest::newRow("empty LC_ALL: LC_MESSAGES") << QString() << QStringList{{}, u"de_CH"_s, u"en_US"_s} << de;
    QTest::newRow("only LANG") << QString() << QStringList{{}, {}, u"en_US.UTF-8"_s} << en;
    QTest::newRow("C locale") << QString() << QStringList{u"C"_s, {}, {}} << en;
    QTest::newRow("nothing set") << QString() << QStringList{{}, {}, {}} << en;
}

void TestLanguage::startFile()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, locale);
    QFETCH(QString, expected);
    TestEnvironment env;
    const char* variables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    QByteArray old[3];
    for (int i = 0; i < 3; ++i) {
        old[i] = qgetenv(variables[i]);
        qputenv(variables[i], locale.at(i).toUtf8());
    }
    const QString chosen = TFWLanguage::startFile(env.path(u"language"_s), stored);
    for (int i = 0; i < 3; ++i)
        qputenv(variables[i], old[i]);
    QCOMPARE(chosen, expected);
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
