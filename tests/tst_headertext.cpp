#include "AttachmentName.h"
#include "HeaderText.h"
#include "Pop3Text.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

// Header text as the grid, the examination window and the scratch folder show it.
class TestHeaderText : public QObject
{
    Q_OBJECT

private slots:
    void sameAsPython_data();
    void sameAsPython();
    void decode_data();
    void decode();
    void unfolded_data();
    void unfolded();
    void attachmentName_data();
    void attachmentName();
    void bareNameFitsTheDisk_data();
    void bareNameFitsTheDisk();
    void indexOfNoCase_data();
    void indexOfNoCase();
};

// The table make_table.py wrote with Python's email library.
void TestHeaderText::sameAsPython_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("expected");
    QFile table(QStringLiteral(POSTRELLA_TEST_DATA "/headers/decoded.tsv"));
    QVERIFY(table.open(QIODevice::ReadOnly));
    while (!table.atEnd()) {
        const QList<QByteArray> columns = table.readLine().trimmed().split('\t');
        QCOMPARE(columns.size(), 2);
        const QByteArray raw = QByteArray::fromHex(columns[0]);
        QTest::newRow(raw.constData()) << raw << QString::fromUtf8(QByteArray::fromHex(columns[1]));
    }
}

void TestHeaderText::sameAsPython()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, expected);
    QCOMPARE(HeaderText::decode(raw), expected);
}

// Where the program reads more than the table covers, or on purpose otherwise.
void TestHeaderText::decode_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("expected");
    QTest::newRow("raw UTF-8") << "Gr\xc3\xbc\xc3\x9f"
                                  "e"_ba
                               << u"Grüße"_s;
    QTest::newRow("raw Windows-1252") << "Gr\xfc\xdf"
                                         "e \x80"_ba
                                      << u"Grüße €"_s;
    QTest::newRow("ISO-8859-1 word read as Windows-1252") << "=?iso-8859-1?q?=80_5?="_ba << u"€ 5"_s;
    QTest::newRow("language after the charset") << "=?utf-8*de?q?Stra=C3=9Fe?="_ba << u"Straße"_s;
    QTest::newRow("character split across two words, padding left out")
        << "=?utf-8?b?w6?= =?utf-8?b?pA==?="_ba << u"ä"_s;
    QTest::newRow("B without padding") << "=?utf-8?b?R3LDvMOfZQ?="_ba << u"Grüße"_s;
    QTest::newRow("broken Base64 stays") << "=?utf-8?b?R3*L?= =?utf-8?b?R3LDv?="_ba
                                         << u"=?utf-8?b?R3*L?= =?utf-8?b?R3LDv?="_s;
    QTest::newRow("blank or question mark inside: no word")
        << "=?utf-8?q?a b?= =?utf-8?q?a?b?="_ba << u"=?utf-8?q?a b?= =?utf-8?q?a?b?="_s;
    QTest::newRow("unknown charset stays, blanks beside it kept")
        << "=?utf-8?q?a?= =?x-klingon?q?b?= =?utf-8?q?c?="_ba << u"a =?x-klingon?q?b?= c"_s;
    QTest::newRow("empty charset stays") << "=??q?abc?="_ba << u"=??q?abc?="_s;
    QTest::newRow("two charsets in a row") << "=?koi8-r?b?8NLJ18XU?= =?iso-8859-1?q?Gr=FC=DFe?="_ba << u"ПриветGrüße"_s;
    QTest::newRow("stray equals sign in Q") << "=?utf-8?q?1=3D1_=_2?="_ba << u"1=1 = 2"_s;
    QTest::newRow("controls become blanks") << "a\tb\x01"
                                               "c=?utf-8?q?d=0Ae=00f?="_ba
                                            << u"a b cd e f"_s;
    QTest::newRow("direction override becomes a blank") << "=?utf-8?q?gpj=E2=80=AEexe.txt?="_ba << u"gpj exe.txt"_s;
    QTest::newRow("leading blank trimmed") << " Hallo "_ba << u"Hallo"_s;
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestHeaderText::decode()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, expected);
    QCOMPARE(HeaderText::decode(raw), expected);
}

void TestHeaderText::unfolded_data()
{
    QTest::addColumn<TExStringList>("header");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("continuation lines joined")
        << TExStringList{"From: a@b", "Subject: =?utf-8?q?a?=", " =?utf-8?q?b?=", "\tc", "To: x"}
        << " =?utf-8?q?a?= =?utf-8?q?b?=\tc"_ba;
    QTest::newRow("any case, the last field wins")
        << TExStringList{"Subject: first", "SUBJECT: second", " more"} << " second more"_ba;
    QTest::newRow("another field's continuation is not ours")
        << TExStringList{"Subject: one", "X-Long: a", " b"} << " one"_ba;
    QTest::newRow("a longer name is another field") << TExStringList{"Subjects: no"} << QByteArray();
    QTest::newRow("the header ends at the empty line")
        << TExStringList{"Subject: one", "", "Subject: body"} << " one"_ba;
}

void TestHeaderText::unfolded()
{
    QFETCH(TExStringList, header);
    QFETCH(QByteArray, expected);
    QCOMPARE(HeaderText::unfolded(header, "subject"), expected);
}

void TestHeaderText::attachmentName_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain, as before") << QByteArrayList{"Content-Type: text/plain; name=\"a.txt\""} << u"a.txt"_s;
    QTest::newRow("encoded word inside the quotes")
        << QByteArrayList{"Content-Type: text/plain; name=\"=?iso-8859-1?q?Gr=FC=DFe=2Etxt?=\""} << u"Grüße.txt"_s;
    QTest::newRow("extended with charset and language")
        << QByteArrayList{"Content-Disposition: attachment; filename*=utf-8'de'na%C3%AFve.txt"} << u"naïve.txt"_s;
    QTest::newRow("numbered pieces over continuation lines, some not encoded")
        << QByteArrayList{"Content-Disposition: attachment;", " filename*0*=utf-8''Gr%C3%BC;", " filename*1*=%C3%9Fe;",
                          " filename*2=\".txt\""}
        << u"Grüße.txt"_s;
    QTest::newRow("pieces out of order, a gap ends the name")
        << QByteArrayList{" filename*1=\"b\"; filename*0=\"a\"; filename*3=\"d\""} << u"ab"_s;
    QTest::newRow("extended filename wins over plain filename and extended name")
        << QByteArrayList{"Content-Type: x/y; name*=utf-8''name.txt",
                          "Content-Disposition: attachment; filename=\"plain.txt\"; filename*=utf-8''wins.txt"}
        << u"wins.txt"_s;
    QTest::newRow("extended name wins over a plain one")
        << QByteArrayList{"Content-Type: x/y; name=\"plain.txt\"; name*=windows-1252''%80uro.txt"} << u"€uro.txt"_s;
    QTest::newRow("unknown charset read like plain text")
        << QByteArrayList{"Content-Disposition: attachment; filename*=x-unknown''%C3%A4.txt"} << u"ä.txt"_s;
    QTest::newRow("broken escape kept") << QByteArrayList{"filename*=utf-8''100%.txt"} << u"100%.txt"_s;
    QTest::newRow("a word that only ends in name* is no parameter")
        << QByteArrayList{"Content-Type: x/y; name=\"a.txt\"; xname*=utf-8''b.txt"} << u"a.txt"_s;
    QTest::newRow("controls and overrides dropped")
        << QByteArrayList{"filename*=utf-8''a%0D%0Ab%E2%80%AE.txt"} << u"ab.txt"_s;
    QTest::newRow("raw UTF-8 in a plain name") << QByteArrayList{"name=\"\xc3\x84rger.txt\""} << u"Ärger.txt"_s;
}

void TestHeaderText::attachmentName()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QString, expected);
    AttachmentName::Parameters parameters;
    for (const QByteArray& line : lines)
        parameters.addLine(line);
    QCOMPARE(parameters.name(), expected);
}

// The limit counts bytes on disk, not characters: two, three and four byte
// characters, and a lone surrogate, which the encoder replaces.
void TestHeaderText::bareNameFitsTheDisk_data()
{
    QTest::addColumn<QString>("base");
    QTest::newRow("ASCII") << QString(300, u'a');
    QTest::newRow("two bytes") << QString(200, u'ü');
    QTest::newRow("three bytes") << QString(200, u'€');
    QTest::newRow("four bytes") << u"😀"_s.repeated(100);
    QTest::newRow("mixed") << u"aü€😀"_s.repeated(40);
    QTest::newRow("lone surrogate") << QString(120, u'ü') + QChar(0xD800) + QString(120, u'ü');
}

void TestHeaderText::bareNameFitsTheDisk()
{
    QFETCH(QString, base);
    const QString name = AttachmentName::bare(base + u".txt"_s);
    const qsizetype bytes = QFile::encodeName(name).size();
    QVERIFY2(bytes <= AttachmentName::MaxBytes && bytes > AttachmentName::MaxBytes - 4, qPrintable(name));
    QVERIFY(name.endsWith(u".txt"_s));
    QVERIFY(base.startsWith(name.chopped(4)));
    QCOMPARE(AttachmentName::bare(name), name);
    const QString second = AttachmentName::alternative(name, 12);
    QVERIFY(QFile::encodeName(second).size() <= AttachmentName::MaxBytes);
    QVERIFY(second.endsWith(u"_12.txt"_s));
}

void TestHeaderText::indexOfNoCase_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("needle");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("expected");
    QTest::newRow("any case") << QByteArray("Content-Type: x; BounDary=\"b\"") << QByteArray("boundary=") << 0 << 17;
    QTest::newRow("at the very end") << QByteArray("x; NAME") << QByteArray("name") << 0 << 3;
    QTest::newRow("cut off at the end") << QByteArray("x; NAM") << QByteArray("name") << 0 << -1;
    QTest::newRow("needle longer than the text") << QByteArray("na") << QByteArray("name") << 0 << -1;
    QTest::newRow("from skips an earlier one") << QByteArray("name* NAME*") << QByteArray("name*") << 1 << 6;
    QTest::newRow("from past the end") << QByteArray("name") << QByteArray("name") << 9 << -1;
    QTest::newRow("both cases of the first letter, late match")
        << QByteArray("nNnNxNnnNname") << QByteArray("nname") << 0 << 8;
    QTest::newRow("not a letter first") << QByteArray("a-B -b") << QByteArray("-b") << 0 << 1;
    QTest::newRow("bit 5 alone is no case") << QByteArray("[x {x") << QByteArray("{x") << 0 << 3;
    QTest::newRow("a zero byte ends nothing") << QByteArray("xa\0cNA\0B", 8) << QByteArray("a\0b", 3) << 0 << 5;
}

void TestHeaderText::indexOfNoCase()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, needle);
    QFETCH(int, from);
    QFETCH(int, expected);
    QCOMPARE(IndexOfNoCase(text, needle, from), qsizetype(expected));
}

QTEST_GUILESS_MAIN(TestHeaderText)
#include "tst_headertext.moc"
