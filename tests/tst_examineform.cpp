#include "AttachmentRating.h"
#include "ExamineUn.h"
#include "StringGrid.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Sections in any case, levels in decimal, both hexadecimal spellings and
// garbage, missing keys, a Windows-1252 extension and an empty section name.
const QByteArray kRatingFile = "[.EXE]\r\nName=Programm\r\nStufe=10\r\nEmpfehlung=Nicht \xF6\x66\x66nen\r\n"
                               "[.pdf]\r\nName=PDF\r\nStufe=0x1F\r\n[.doc]\r\nStufe=$0a\r\n[.txt]\r\nStufe=abc\r\n"
                               "[.\xE4xe]\r\nName=Umlaut\r\n[]\r\nName=Leer\r\nStufe=3\r\n"_ba;

enum class RatingFile
{
    Test,
    Shipped,
    Missing,
    Folder,
    Garbage
};

// Columns 1 to 6 of a row, joined for one-line expectations.
QString row(const TStringGrid* grid, int r)
{
    QStringList cells;
    for (int c = 1; c < grid->ColCount(); ++c)
        cells << grid->Cells(c, r);
    return cells.join(u'|');
}

} // namespace

class TestExamineForm : public QObject
{
    Q_OBJECT

private slots:
    void ratesByLastExtension_data();
    void ratesByLastExtension();
    void shippedFileRatesProgramsOfEverySystem();
    void examinationsCollectRowsPerMessage();
    void showsEverythingAsPlainText();
    void buttons();
};

void TestExamineForm::ratesByLastExtension_data()
{
    QTest::addColumn<RatingFile>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // Endung|Art|Stufe|Vorschlag
    const auto T = RatingFile::Test;
    const QString exe = u".exe|Programm|10|Nicht öffnen"_s;
    const QString unknown = u"|Unbekannt|0|Keine Angabe"_s;
    QTest::newRow("section in other case") << T << u"setup.exe"_s << exe;
    QTest::newRow("extension in other case") << T << u"SETUP.EXE"_s << u".EXE|Programm|10|Nicht öffnen"_s;
    QTest::newRow("non-ASCII case") << T << u"b.ÄXE"_s << u".ÄXE|Umlaut|0|Keine Angabe"_s;
    QTest::newRow("double extension: the last") << T << u"Rechnung.pdf.exe"_s << exe;
    QTest::newRow("trailing dot dropped") << T << u"setup.exe."_s << exe;
    QTest::newRow("trailing blanks dropped") << T << u"setup.exe  "_s << exe;
    QTest::newRow("very long name") << T << (QString(5000, u'x') + u".exe"_s) << exe;
    QTest::newRow("hex 0x, no advice") << T << u"a.pdf"_s << u".pdf|PDF|31|Keine Angabe"_s;
    QTest::newRow("hex $, no name") << T << u"a.doc"_s << u".doc|Unbekannt|10|Keine Angabe"_s;
    QTest::newRow("garbage level") << T << u"a.txt"_s << u".txt|Unbekannt|0|Keine Angabe"_s;
    QTest::newRow("extension not listed") << T << u"a.xyz"_s << (u".xyz"_s + unknown);
    QTest::newRow("no extension never meets []") << T << u"README"_s << unknown;
    QTest::newRow("dots only") << T << u"..."_s << unknown;
    QTest::newRow("shipped file, Windows-1252")
        << RatingFile::Shipped << u"foto.JPG"_s
        << u".JPG|JPEG-Bild|1|In der Regel unbedenklich. Trotzdem nur Dateien von bekannten Absendern öffnen."_s;
    // A lost rating file must not read as "level 0": those rows get the failure rating.
    const QString failed = u".exe|Unbekannt|10|Keine Angabe"_s;
    QTest::newRow("missing file") << RatingFile::Missing << u"a.exe"_s << failed;
    QTest::newRow("missing file, no extension") << RatingFile::Missing << u"README"_s << unknown;
    QTest::newRow("folder in its place") << RatingFile::Folder << u"a.exe"_s << failed;
    QTest::newRow("readable garbage") << RatingFile::Garbage << u"a.exe"_s << (u".exe"_s + unknown);
}

void TestExamineForm::ratesByLastExtension()
{
    QFETCH(RatingFile, file);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    TestEnvironment env;
    const QString path = env.path(u"init/Endung.ini"_s);
    if (file != RatingFile::Shipped)
        QVERIFY(QFile::remove(path));
    if (file == RatingFile::Folder)
        QVERIFY(QDir().mkpath(path));
    if (file == RatingFile::Test || file == RatingFile::Garbage) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file == RatingFile::Test ? kRatingFile : QByteArray("\x00\xFF[.exe\n=\n\x01Stufe=9", 17));
    }

    TExamineForm form;
    form.setMessage({}, {}, {}, {name});
    form.Tabelle_Auswerten(7);
    QCOMPARE(row(form.Tabelle, 1), u"7|"_s + name + u'|' + expected);
    QCOMPARE(QFileInfo::exists(path), file != RatingFile::Missing); // only read, never created
}

void TestExamineForm::shippedFileRatesProgramsOfEverySystem()
{
    // What runs or installs on a double click, on Linux as on Windows, and
    // the disk images that carry such programs.
    TestEnvironment env;
    const TRatingFile ratings(TRatingFile::defaultFileName());
    for (const char* endung : {".sh", ".bash", ".desktop", ".py", ".pl", ".rb", ".run", ".bin", ".AppImage", ".deb",
                               ".rpm", ".jar", ".ps1", ".msi", ".apk", ".iso", ".img", ".lnk"}) {
        const QString name = u"anhang"_s + QString::fromLatin1(endung);
        const TAttachmentRating r = ratings.rate(name);
        QVERIFY2(r.Art != u"Unbekannt"_s && !r.Art.isEmpty(), endung);
        QVERIFY2(r.Stufe >= 6, endung);
        QVERIFY2(r.Vorschlag != u"Keine Angabe"_s && !r.Vorschlag.isEmpty(), endung);
    }
}

void TestExamineForm::examinationsCollectRowsPerMessage()
{
    TestEnvironment env;
    TExamineForm form;
    form.setMessage(u"anna@example.org"_s, u"Hallo"_s, {u"Text"_s}, {u"x.txt"_s, u"y.txt"_s, u"z.txt"_s});
    form.Tabelle_Auswerten(5);
    QCOMPARE(form.Tabelle->RowCount(), 4);

    // Examine all of three messages with 2, 0 and 1 attachments.
    form.Einrichten();
    QCOMPARE(form.Tabelle->RowCount(), 2);
    QCOMPARE(row(form.Tabelle, 0), u"eMail|Name|Endung|Art|Stufe|Vorschlag"_s);
    QCOMPARE(row(form.Tabelle, 1), u"|||||"_s);
    const QList<QStringList> messages = {{u"a.exe"_s, u"b.pdf"_s}, {}, {u"c.zip"_s}};
    for (int i = 0; i < messages.size(); ++i) {
        form.setMessage({}, {}, {}, messages[i]);
        form.Tabelle_Auswerten(i + 1);
    }
    QCOMPARE(form.Tabelle->RowCount(), 4);
    QCOMPARE(form.NextRow(), 4);
    const QStringList numbers = {form.Tabelle->Cells(1, 1), form.Tabelle->Cells(1, 2), form.Tabelle->Cells(1, 3)};
    QCOMPARE(numbers, (QStringList{u"1"_s, u"1"_s, u"3"_s}));
    QCOMPARE(form.Tabelle->Cells(2, 3), u"c.zip"_s);
    QCOMPARE(form.LFrom->text() + form.LSubject->text() + form.REBody->toPlainText(), QString());

    form.Einrichten();
    form.setMessage({}, {}, {}, {});
    form.Tabelle_Auswerten(1);
    QCOMPARE(form.Tabelle->RowCount(), 2);
    QCOMPARE(row(form.Tabelle, 1), u"|||||"_s);
}

void TestExamineForm::showsEverythingAsPlainText()
{
    TExamineForm form;
    const QStringList body = {u"<html><body><b>Gewinn!</b>"_s, u"<img src=\"http://x.invalid/t.gif\"></body>"_s};
    form.setMessage(u"<b>Bank</b> <a@b.c>"_s, u"<h1>Dringend</h1>"_s, body, {u"<b>x</b>.html"_s});
    QCOMPARE(form.REBody->document()->toPlainText(), body.join(u'\n'));
    QVERIFY(form.REBody->isReadOnly());
    QCOMPARE(form.LFrom->textFormat(), Qt::PlainText);
    QCOMPARE(form.LSubject->textFormat(), Qt::PlainText);
    QCOMPARE(form.LSubject->text(), u"<h1>Dringend</h1>"_s);
    QCOMPARE(form.LBAttaches->item(0)->text(), u"<b>x</b>.html"_s);
    // A long "invoice...pdf.exe" must not hide its real extension behind the ellipsis.
    QCOMPARE(form.Tabelle->textElideMode(), Qt::ElideMiddle);
}

void TestExamineForm::buttons()
{
    TExamineForm form;
    form.OBHilfe->click(); // no help wired: nothing happens
    QList<int> contexts;
    form.ShowContext = [&contexts](int c) { contexts.append(c); };
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(!form.LBAttaches->isVisible());
    for (const char* name : {"Label1", "LFrom", "Label3", "LSubject", "Label7", "REBody", "Label8", "Tabelle",
                             "LBAttaches", "OBSchliessen", "OBVorschlaege", "OBHilfe"}) {
        const auto* w = form.findChild<QWidget*>(QLatin1StringView(name));
        QVERIFY2(w && !w->accessibleName().isEmpty(), name);
    }
    form.setMessage(u"anna"_s, {}, {}, {});

    form.OBHilfe->click();
    form.OBVorschlaege->click();
    QCOMPARE(contexts, (QList<int>{3, 3}));
    form.OBSchliessen->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(contexts.size(), 2);
    QCOMPARE(form.LFrom->text(), u"anna"_s); // closing only hides
}

QTEST_MAIN(TestExamineForm)
#include "tst_examineform.moc"
