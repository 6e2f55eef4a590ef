#include "Exception.h"
#include "Pop3Client.h"
#include "Screening.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Screening::Lists;
using Screening::Switches;
Q_DECLARE_METATYPE(Screening::Switches)

class TestScreening : public QObject
{
    Q_OBJECT

private slots:
    void matchRule_data();
    void matchRule();
    void decodedTextMatchesToo_data();
    void decodedTextMatchesToo();
    void marksCountersAndDeletion_data();
    void marksCountersAndDeletion();
    void fieldsAreScreenedAsShown_data();
    void fieldsAreScreenedAsShown();
    void listFilesSplitAtEveryLineEnd();
    void missingListFails();
    void savedListsUseCrLf();
};

void TestScreening::matchRule_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("match");
    QTest::newRow("case counts: Win in Winner") << "Win"_ba
                                                << "Winner"_ba << true;
    QTest::newRow("case counts: Win not in winner") << "Win"_ba
                                                    << "winner"_ba << false;
    QTest::newRow("substring anywhere") << "kredit"_ba
                                        << "Ihr Sofortkredit heute"_ba << true;
    QTest::newRow("empty pattern never matches") << QByteArray() << "anything"_ba << false;
    QTest::newRow("empty text never matched") << "x"_ba << QByteArray() << false;
    QTest::newRow("blanks are part of the pattern") << "   "_ba
                                                    << "a   b"_ba << true;
    QTest::newRow("two blanks are not three") << "   "_ba
                                              << "a  b"_ba << false;
    QTest::newRow("no trimming of a trailing blank") << "Viagra "_ba
                                                     << "Viagra!"_ba << false;
    QTest::newRow("bytes above 127 compare exactly") << "Gr\xfc\xdf"_ba
                                                     << "Gr\xfc\xdf"
                                                        "e"_ba
                                                     << true;
    QTest::newRow("no wildcards") << "Gewinn*"_ba
                                  << "Gewinnspiel"_ba << false;
}

void TestScreening::matchRule()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, text);
    QFETCH(bool, match);
    QCOMPARE(Screening::matches(pattern, text), match);
}

void TestScreening::decodedTextMatchesToo_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("decoded");
    QTest::addColumn<bool>("match");
    QTest::newRow("Windows-1252 pattern in the decoded text") << "Gr\xfc\xdf"
                                                                 "e"_ba
                                                              << "=?utf-8?q?Gr=C3=BC=C3=9Fe?="_ba << u"Grüße"_s << true;
    QTest::newRow("still in the raw bytes") << "=?utf-8?q?"_ba
                                            << "=?utf-8?q?x?="_ba << u"x"_s << true;
    QTest::newRow("case counts in the decoded text too") << "Kredit"_ba
                                                         << "=?utf-8?q?kredit?="_ba << u"kredit"_s << false;
    QTest::newRow("euro sign through the code page") << "\x80"_ba
                                                     << "=?utf-8?q?=E2=82=AC?="_ba << u"€"_s << true;
    QTest::newRow("empty pattern never matches") << QByteArray() << "x"_ba << u"x"_s << false;
}

void TestScreening::decodedTextMatchesToo()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QByteArray, raw);
    QFETCH(QString, decoded);
    QFETCH(bool, match);
    QCOMPARE(Screening::matches(pattern, raw, decoded), match);
}

void TestScreening::marksCountersAndDeletion_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<Screening::Switches>("switches");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QList<int>>("counts"); // Absender, Betreff, Betreff_Eigen
    QTest::addColumn<bool>("condemned");
    QTest::addColumn<QList<bool>>("lamps"); // Absender, Betreff, Messages

    // Lists: sender "spam@", system subject "WIN" and "WIN BIG", user subject "Angebot" twice.
    QTest::newRow("nothing matches") << "anna@example.org"_ba
                                     << "Hallo"_ba << Switches{true, true, true} << QString() << QList<int>{0, 0, 0}
                                     << false << QList<bool>{false, false, false};
    QTest::newRow("sender only, no deletion")
        << "spam@x.org"_ba
        << "Hallo"_ba << Switches{} << u"F"_s << QList<int>{0, 0, 0} << false << QList<bool>{true, false, false};
    QTest::newRow("sender deleted") << "spam@x.org"_ba
                                    << "Hallo"_ba << Switches{true, false, false} << u"F#"_s << QList<int>{1, 0, 0}
                                    << true << QList<bool>{true, false, false};
    QTest::newRow("two system lines count the message once")
        << "a@b"_ba
        << "WIN BIG now"_ba << Switches{false, true, false} << u"S#"_s << QList<int>{0, 1, 0} << true
        << QList<bool>{false, true, false};
    QTest::newRow("two user lines count the message once")
        << "a@b"_ba
        << "Angebot"_ba << Switches{false, false, true} << u"SE#"_s << QList<int>{0, 0, 1} << true
        << QList<bool>{false, false, true};
    QTest::newRow("system deletes, user list does not: the mark keeps its #")
        << "a@b"_ba
        << "WIN Angebot"_ba << Switches{false, true, false} << u"S#"_s << QList<int>{0, 1, 0} << true
        << QList<bool>{false, true, true};
    QTest::newRow("sender deletes, subject matches without deletion")
        << "spam@x.org"_ba
        << "WIN"_ba << Switches{true, false, false} << u"F#"_s << QList<int>{1, 0, 0} << true
        << QList<bool>{true, true, false};
    QTest::newRow("later deleting list takes the mark")
        << "spam@x.org"_ba
        << "Angebot"_ba << Switches{false, false, true} << u"SE#"_s << QList<int>{0, 0, 1} << true
        << QList<bool>{true, false, true};
    QTest::newRow("last matching list names the mark")
        << "spam@x.org"_ba
        << "WIN"_ba << Switches{} << u"S"_s << QList<int>{0, 0, 0} << false << QList<bool>{true, true, false};
}

void TestScreening::marksCountersAndDeletion()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, subject);
    QFETCH(Switches, switches);
    QFETCH(QString, mark);
    QFETCH(QList<int>, counts);
    QFETCH(bool, condemned);
    QFETCH(QList<bool>, lamps);

    const Lists lists{{"spam@"_ba, QByteArray()}, {"WIN"_ba, "WIN BIG"_ba}, {"Angebot"_ba, "Angebot"_ba}};
    const Screening::Result r = Screening::screen(from, subject, lists, switches);
    QCOMPARE(r.mark, mark);
    QCOMPARE((QList<int>{r.countAbsender, r.countBetreff, r.countBetreffEigen}), counts);
    QCOMPARE(r.condemned, condemned);
    QCOMPARE((QList<bool>{r.litAbsender, r.litBetreff, r.litMessages}), lamps);
}

void TestScreening::fieldsAreScreenedAsShown_data()
{
    QTest::addColumn<QList<QByteArray>>("header"); // as the client keeps it
    QTest::addColumn<QByteArray>("pattern");       // in the sender and the user's subject list
    QTest::addColumn<QString>("mark");
    const QList<QByteArray> hallo{"From: bob@example.org", "Subject: Hallo"};
    QTest::newRow("a line of blanks and tabs is no pattern") << hallo << "\t \t"_ba << QString();
    QTest::newRow("the blank after the colon is no part of the field") << hallo << " Hallo"_ba << QString();
    QTest::newRow("a body after the empty line is not screened")
        << QList<QByteArray>{"Subject: Treffen", "", "Subject: Gewinnspiel"} << "Gewinn"_ba << QString();
    QTest::newRow("a field name in capitals") << QList<QByteArray>{"SUBJECT: Gewinnspiel"} << "Gewinn"_ba << u"SE#"_s;
    QTest::newRow("a folded subject") << QList<QByteArray>{"Subject: Ihr", "\tGewinnspiel"} << "Gewinn"_ba << u"SE#"_s;
}

void TestScreening::fieldsAreScreenedAsShown()
{
    QFETCH(QList<QByteArray>, header);
    QFETCH(QByteArray, pattern);
    QFETCH(QString, mark);
    TSummary summary;
    summary.Header = header;
    QCOMPARE(Screening::screen(summary, Lists{{pattern}, {}, {pattern}}, Switches{true, true, true}).mark, mark);
}

void TestScreening::listFilesSplitAtEveryLineEnd()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.ini"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("one\r\ntwo\rthree\nfour\r\n\r\nsix");
    file.close();
    QCOMPARE(Screening::loadList(path),
             (QList<QByteArray>{"one"_ba, "two"_ba, "three"_ba, "four"_ba, QByteArray(), "six"_ba}));

    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.close();
    QVERIFY(Screening::loadList(path).isEmpty());
}

void TestScreening::missingListFails()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"fehlt.ini"_s);
    try {
        Screening::loadList(path);
        QFAIL("a missing list must fail");
    } catch (const Exception& e) {
        QCOMPARE(e.message(), u"Datei "_s + path + u" kann nicht geöffnet werden"_s);
    }
}

void TestScreening::savedListsUseCrLf()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.ini"_s);
    Screening::saveList(path, {"a"_ba, "b c"_ba});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "a\r\nb c\r\n"_ba);
    try {
        Screening::saveList(dir.filePath(u"no/such/folder/x.ini"_s), {});
        QFAIL("an unwritable list must fail");
    } catch (const Exception& e) {
        QVERIFY(e.message().endsWith(u" kann nicht erstellt werden"_s));
    }
}

QTEST_GUILESS_MAIN(TestScreening)
#include "tst_screening.moc"
