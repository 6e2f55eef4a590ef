#include "Exception.h"
#include "FakePop3Server.h"
#include "MimeFixtures.h"
#include "MimeWalk.h"
#include "Pop3Client.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace Pop3Script;

using Files = QMap<QString, QByteArray>;

namespace {

// RETR as a server sends the message: a leading dot doubled, then the dot line.
FakeScript retr(int n, const QByteArray& message)
{
    QByteArray stuffed;
    for (const QByteArray& line : message.split('\n')) {
        if (line.isEmpty())
            continue;
        stuffed += (line.startsWith('.') ? "." + line : line) + '\n';
    }
    return client("RETR " + QByteArray::number(n)) + server("+OK message follows") + packet(stuffed) + server(".");
}

FakeScript loggedOn(int count)
{
    return greeting() + login("u", "p") + stat(count);
}

QByteArray note(const QByteArray& name)
{
    return "\r\nDatei \"" + name + "\" extrahiert";
}

// Everything below root: files with their bytes, folders and links marked.
Files contents(const QString& root)
{
    Files found;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString name = QDir(root).relativeFilePath(info.filePath());
        if (info.isSymLink())
            found[name] = "<link>";
        else if (info.isDir())
            found[name] = "<folder>";
        else {
            QFile file(info.filePath());
            file.open(QIODevice::ReadOnly);
            found[name] = file.readAll();
        }
    }
    return found;
}

// A scratch folder "temp" beside a file that no attachment may touch.
struct Scratch
{
    Scratch()
    {
        QDir(dir.path()).mkdir(u"temp"_s);
        QFile outside(dir.filePath(u"outside.txt"_s));
        outside.open(QIODevice::WriteOnly);
        outside.write("keep");
    }
    QString folder() const { return dir.filePath(u"temp"_s); }
    QString path(const QString& name) const { return folder() + u'/' + name; }
    Files scratchContents() const { return contents(folder()); }
    Files outsideContents() const
    {
        Files all = contents(dir.path());
        all.removeIf([](auto it) { return it.key().startsWith(u"temp/"_s); });
        return all;
    }
    QTemporaryDir dir;
};

struct Probe
{
    explicit Probe(FakePop3Server& fake, const QString& folder)
    {
        client.Host = u"127.0.0.1"_s;
        client.Port = fake.port();
        client.UserID = u"u"_s;
        client.Password = u"p"_s;
        client.TimeOut = 5000;
        client.setAttachFilePath(folder);
    }
    QString failure(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const Exception& e) {
            return e.message();
        }
        return {};
    }
    TPop3Client client;
};

} // namespace

// The MIME walk driven through RetrieveMessage against the scripted server, so
// the whole path from the wire to the files in the scratch folder is tested.
class TestMimeWalk : public QObject
{
    Q_OBJECT

private slots:
    void retrieve_data();
    void retrieve();
    void eventsAndHandlerName();
    void failures_data();
    void failures();
    void nestedRetrieveDoesNothing();
    void deleteOnRead();
    void attachFilePathGetsSeparator();
    void walkFromDevice();
    void memorySinkStoresTheSame();
    void manyPartsOfOneNameStayLinear();
};

void TestMimeWalk::retrieve_data()
{
    QTest::addColumn<QString>("eml");
    QTest::addColumn<bool>("parse");
    // "file:" / "dir:" / "link:" + name, or "templink": a link where the next temporary file goes.
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<QByteArrayList>("body");
    QTest::addColumn<QStringList>("attachments");
    QTest::addColumn<Files>("files");

    const QByteArray pdf1 = mimeFixture(u"a-first.pdf"_s), pdf2 = mimeFixture(u"a-second.pdf"_s);
    QTest::newRow("text part and two files of one name beside an older one")
        << u"collisions.eml"_s << false << QStringList{u"file:a.pdf"_s} << " Two files named alike"_ba
        << QByteArrayList{"Hello,", "two files follow.", "", note("a_1.pdf"), note("a_2.pdf")}
        << QStringList{u"a_1.pdf"_s, u"a_2.pdf"_s}
        << Files{{u"a.pdf"_s, "old"}, {u"a_1.pdf"_s, pdf1}, {u"a_2.pdf"_s, pdf2}};
    QTest::newRow("parts without a name or encoding take none from the part before")
        << u"noname.eml"_s << false << QStringList{} << " Parts without names"_ba
        << QByteArrayList{"Body line", note("named.bin"), note("text.tmp"), note("text_1.tmp")}
        << QStringList{u"named.bin"_s, u"text.tmp"_s, u"text_1.tmp"_s}
        << Files{{u"named.bin"_s, mimeFixture(u"named.bin"_s)},
                 {u"text.tmp"_s, "first unnamed line\r\nsecond unnamed line\r\n"},
                 {u"text_1.tmp"_s, "third\r\n"}};
    QTest::newRow("quoted-printable stored as received, name after the charset, subject kept encoded")
        << u"quotedprintable.eml"_s << false << QStringList{} << " =?UTF-8?Q?Gr=C3=BC=C3=9Fe?="_ba
        << QByteArrayList{"See the note.", note("note.txt")} << QStringList{u"note.txt"_s}
        << Files{{u"note.txt"_s,
                  "Gr=C3=BC=C3=9Fe aus K=C3=B6ln,\r\na soft line break =\r\ncontinues here =3D done.\r\n"}};
    QTest::newRow("boundary that never occurs: no part at all")
        << u"noboundary.eml"_s << false << QStringList{} << " Boundary missing"_ba << QByteArrayList{} << QStringList{}
        << Files{};
    QTest::newRow("nested multipart: the inner one is the body text as it stands")
        << u"nested.eml"_s << false << QStringList{} << " Nested"_ba << QByteArrayList{"--inner",
                                                                                       "Content-Type: text/plain",
                                                                                       "",
                                                                                       "plain text",
                                                                                       "--inner",
                                                                                       "Content-Type: text/html",
                                                                                       "",
                                                                                       "<p>html text</p>",
                                                                                       "--inner--",
                                                                                       "",
                                                                                       note("report.csv")}
        << QStringList{u"report.csv"_s} << Files{{u"report.csv"_s, mimeFixture(u"report.csv"_s)}};
    QTest::newRow("base64 with two, one and no pad characters, and with the pad left out")
        << u"padding.eml"_s << false << QStringList{} << " Padding"_ba
        << QByteArrayList{"four files", note("pad2.bin"), note("pad1.bin"), note("pad0.bin"), note("nopad.bin")}
        << QStringList{u"pad2.bin"_s, u"pad1.bin"_s, u"pad0.bin"_s, u"nopad.bin"_s}
        << Files{{u"pad2.bin"_s, mimeFixture(u"pad2.bin"_s)},
                 {u"pad1.bin"_s, mimeFixture(u"pad1.bin"_s)},
                 {u"pad0.bin"_s, mimeFixture(u"pad0.bin"_s)},
                 {u"nopad.bin"_s, mimeFixture(u"nopad.bin"_s)}};
    QTest::newRow("uuencoded attachment")
        << u"uuencoded.eml"_s << false << QStringList{} << " uuencoded"_ba
        << QByteArrayList{"program attached", note("prog.exe")} << QStringList{u"prog.exe"_s}
        << Files{{u"prog.exe"_s, mimeFixture(u"prog.exe"_s)}};
    QTest::newRow("one-letter boundary: within a line or Base64 it is content, only the last delimiter closes")
        << u"shortboundary.eml"_s << false << QStringList{} << " Short boundary"_ba
        << QByteArrayList{"short", "a line with b and --b- inside", note("s1.bin"), note("s2.bin")}
        << QStringList{u"s1.bin"_s, u"s2.bin"_s}
        << Files{{u"s1.bin"_s, mimeFixture(u"short1.bin"_s)}, {u"s2.bin"_s, mimeFixture(u"short2.bin"_s)}};

    const QStringList hostileNames = {u"evil.sh"_s,
                                      u"passwd"_s,
                                      u"evil.exe"_s,
                                      u"text.tmp"_s,
                                      u"file.txt"_s,
                                      u"abc.txt"_s,
                                      u"link_1.txt"_s,
                                      u"folder_1.bin"_s,
                                      u"what_.exe"_s,
                                      u"_CON.txt"_s,
                                      QString(251, u'x') + u".pdf"_s,
                                      u"abä.txt"_s};
    QByteArrayList hostileBody{"names"};
    Files hostileFiles{{u"link.txt"_s, "<link>"}, {u"folder.bin"_s, "<folder>"}};
    for (qsizetype i = 0; i < hostileNames.size(); ++i) {
        hostileBody << note(hostileNames[i].toLatin1());
        hostileFiles[hostileNames[i]] = mimeFixture(u"hostile%1.bin"_s.arg(i));
    }
    QTest::newRow("names with folders, .., absolute paths, backslashes, links and folders in the way")
        << u"hostile.eml"_s << false << QStringList{u"link:link.txt"_s, u"dir:folder.bin"_s, u"templink"_s}
        << " Hostile names"_ba << hostileBody << hostileNames << hostileFiles;

    const QByteArray single = mimeFixture(u"single.pdf"_s);
    QTest::newRow("single part with a disposition, parsed: decoded file, its lines as body")
        << u"single.eml"_s << true << QStringList{} << " Single part"_ba
        << QByteArrayList{"%PDF-1.4", "% single part", "1 0 obj", "<< >>", "endobj", "%%EOF"}
        << QStringList{u"single.pdf"_s} << Files{{u"single.pdf"_s, single}};
    QTest::newRow("single part with a disposition, not parsed: the encoded lines, no file")
        << u"single.eml"_s << false << QStringList{} << " Single part"_ba << QByteArrayList{single.toBase64()}
        << QStringList{} << Files{};
    const QByteArrayList plainBody{"First line", ".hidden line with one dot", "..two dots", "", "last line"};
    QTest::newRow("no MIME headers, not parsed")
        << u"plain.eml"_s << false << QStringList{} << " No MIME at all"_ba << plainBody << QStringList{} << Files{};
    QTest::newRow("no MIME headers, parsed")
        << u"plain.eml"_s << true << QStringList{} << " No MIME at all"_ba << plainBody << QStringList{} << Files{};
}

void TestMimeWalk::retrieve()
{
    QFETCH(QString, eml);
    QFETCH(bool, parse);
    QFETCH(QStringList, existing);
    QFETCH(QByteArray, subject);
    QFETCH(QByteArrayList, body);
    QFETCH(QStringList, attachments);
    QFETCH(Files, files);

    Scratch scratch;
    const Files outside = scratch.outsideContents();
    for (const QString& entry : existing) {
        const QString name = entry.section(u':', 1);
        if (entry.startsWith(u"file:"_s)) {
            QFile file(scratch.path(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("old");
        } else if (entry.startsWith(u"dir:"_s)) {
            QVERIFY(QDir(scratch.folder()).mkdir(name));
        } else {
            // A link to the file outside: following it would overwrite that file.
            const QString link = entry == u"templink"_s ? u"Temp%1.mme"_s.arg(TMimeWalk::tempCounter() + 1) : name;
            QVERIFY(QFile::link(scratch.dir.filePath(u"outside.txt"_s), scratch.path(link)));
        }
    }

    FakePop3Server fake(loggedOn(1) + retr(1, mimeFixture(eml)) + quit());
    Probe p(fake, scratch.folder());
    p.client.Parse = parse;
    p.client.Connect();
    p.client.RetrieveMessage(1);
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);

    const TMailMessage& m = p.client.MailMessage();
    QCOMPARE(m.Subject, subject);
    QCOMPARE(m.Body, body);
    QCOMPARE(m.Attachments, attachments);
    QCOMPARE(m.Head.constLast(), QByteArray());
    QCOMPARE(scratch.scratchContents(), files);
    QCOMPARE(scratch.outsideContents(), outside);
}

void TestMimeWalk::eventsAndHandlerName()
{
    Scratch scratch;
    FakePop3Server fake(loggedOn(1) + retr(1, mimeFixture(u"uuencoded.eml"_s)) + quit());
    Probe p(fake, scratch.folder());
    p.client.ReportLevel = 1;
    QStringList events;
    int packets = 0;
    p.client.OnRetrieveStart = [&](QObject*) { events << u"start"_s; };
    p.client.OnRetrieveEnd = [&](QObject*) { events << u"end"_s; };
    p.client.OnStatus = [&](QObject*, const QString& s) { events << s.trimmed(); };
    p.client.OnPacketRecvd = [&](QObject*) {
        // Counted before the event, so a handler sees the lines moved so far.
        QCOMPARE(p.client.BytesRecvd(), ++packets);
        if (events.constLast() != u"packets"_s)
            events << u"packets"_s;
    };
    p.client.OnDecodeStart = [&](QString& name) {
        events << u"decode start "_s + name;
        name = u"../renamed.exe"_s;
    };
    p.client.Connect();
    events.clear();
    p.client.RetrieveMessage(1);
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);

    const QStringList expected = {u"start"_s,
                                  u"+OK message follows"_s,
                                  u"Extrahieren der Datei"_s,
                                  u"packets"_s,
                                  u"Extrahieren der Datei"_s,
                                  u"packets"_s,
                                  u"decode start prog.exe"_s,
                                  u"Decodieren der Datei"_s,
                                  u"Meldung erhalten"_s,
                                  u"end"_s};
    QCOMPARE(events.mid(0, expected.size()), expected);
    // The text line, the begin line, the data lines, the grave accent and the end line.
    QCOMPARE(p.client.BytesRecvd(), 1 + 1 + 16 + 1 + 1);
    QCOMPARE(p.client.MailMessage().Attachments, QStringList{u"renamed.exe"_s});
    QCOMPARE(scratch.scratchContents(), (Files{{u"renamed.exe"_s, mimeFixture(u"prog.exe"_s)}}));
}

void TestMimeWalk::failures_data()
{
    QTest::addColumn<FakeScript>("script");
    QTest::addColumn<bool>("folderMissing");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("connected");

    const QByteArray message = mimeFixture(u"collisions.eml"_s);
    // Cut inside the second attachment, after the first was stored.
    const QByteArray cut = message.left(message.indexOf("Content-Type: application/pdf;\r\n") + 200);
    QTest::newRow("RETR refused") << client("RETR 1") + server("-ERR no such message") << false
                                  << u"-ERR no such message\r\n"_s << true;
    QTest::newRow("server closes in the middle of the message")
        << client("RETR 1") + server("+OK") + packet(cut) + close() << false
        << u"Die Verbindung wurde während der Antwort geschlossen"_s << false;
    QTest::newRow("scratch folder missing: the rest of the answer is read away")
        << retr(1, message) << true << u"Die Datei"_s << true;
}

void TestMimeWalk::failures()
{
    QFETCH(FakeScript, script);
    QFETCH(bool, folderMissing);
    QFETCH(QString, error);
    QFETCH(bool, connected);

    Scratch scratch;
    const QByteArray plain = mimeFixture(u"plain.eml"_s);
    // A successful retrieval afterwards, on a new connection where the old one is gone.
    const FakeScript next =
        (connected ? FakeScript{} : loggedOn(1)) + retr(1, mimeFixture(u"uuencoded.eml"_s)) + quit();
    FakePop3Server fake(loggedOn(1) + retr(1, plain) + script + next);
    Probe p(fake, scratch.folder());
    QStringList events;
    p.client.OnRetrieveEnd = [&](QObject*) { events << u"end"_s; };
    p.client.Connect();
    p.client.RetrieveMessage(1);
    if (folderMissing)
        p.client.setAttachFilePath(scratch.path(u"missing"_s));

    QVERIFY(p.failure([&] { p.client.RetrieveMessage(1); }).startsWith(error));
    QCOMPARE(events, (QStringList{u"end"_s, u"end"_s}));
    QVERIFY(!p.client.Busy());
    QCOMPARE(p.client.Connected(), connected);
    // Nothing half done stays: no temporary file, no attachment of the failed message.
    QCOMPARE(scratch.scratchContents(), Files{});
    if (error.startsWith(u"-ERR"_s))
        QCOMPARE(p.client.MailMessage().Subject, " No MIME at all"_ba);
    else
        QCOMPARE(p.client.MailMessage().Attachments, QStringList{});

    p.client.setAttachFilePath(scratch.folder());
    if (!connected)
        p.client.Connect();
    p.client.RetrieveMessage(1);
    QCOMPARE(p.client.MailMessage().Attachments, QStringList{u"prog.exe"_s});
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestMimeWalk::nestedRetrieveDoesNothing()
{
    Scratch scratch;
    // Anything the nested call sent would break the script.
    FakePop3Server fake(loggedOn(2) + retr(1, mimeFixture(u"noname.eml"_s)) + quit());
    Probe p(fake, scratch.folder());
    int starts = 0;
    p.client.OnRetrieveStart = [&](QObject*) { ++starts; };
    p.client.OnPacketRecvd = [&](QObject*) {
        p.client.RetrieveMessage(2);
        p.client.RetrieveSummary(2);
    };
    p.client.Connect();
    p.client.RetrieveMessage(1);
    QCOMPARE(starts, 1);
    QCOMPARE(p.client.MailMessage().Attachments.size(), 3);
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestMimeWalk::deleteOnRead()
{
    Scratch scratch;
    FakePop3Server fake(loggedOn(1) + retr(1, mimeFixture(u"plain.eml"_s)) + dele(1, "-ERR gone") + quit());
    Probe p(fake, scratch.folder());
    p.client.DeleteOnRead = true;
    p.client.Connect();
    QCOMPARE(p.failure([&] { p.client.RetrieveMessage(1); }), u"-ERR gone\r\n"_s);
    QCOMPARE(p.client.MailMessage().Body.size(), 5);
    p.client.Disconnect();
    FAKE_POP3_VERIFY(fake);
}

void TestMimeWalk::attachFilePathGetsSeparator()
{
    TPop3Client client;
    QCOMPARE(client.AttachFilePath(), QString());
    client.setAttachFilePath(u"/tmp/x"_s);
    QCOMPARE(client.AttachFilePath(), u"/tmp/x"_s + QDir::separator());
    client.setAttachFilePath(u"/tmp/x/"_s);
    QCOMPARE(client.AttachFilePath(), u"/tmp/x/"_s);
    client.setAttachFilePath(QString());
    QCOMPARE(client.AttachFilePath(), QString());
}

void TestMimeWalk::walkFromDevice()
{
    // The walk needs no socket: the same message from a buffer, line ends LF only.
    Scratch scratch;
    QByteArray message = mimeFixture(u"padding.eml"_s);
    message.replace("\r\n", "\n");
    QBuffer buffer(&message);
    buffer.open(QIODevice::ReadOnly);
    TMailMessage m;
    TMimeWalk::walk(buffer, m, scratch.folder() + u'/', false);
    QCOMPARE(m.Attachments.size(), 4);
    QCOMPARE(scratch.scratchContents().value(u"nopad.bin"_s), mimeFixture(u"nopad.bin"_s));
}

void TestMimeWalk::memorySinkStoresTheSame()
{
    // The fuzzer keeps the parts in memory: it must see what the program writes.
    for (const QString& eml : {u"collisions.eml"_s, u"encodednames.eml"_s, u"single.eml"_s}) {
        Scratch scratch;
        QByteArray message = mimeFixture(eml);
        QBuffer onDisk(&message), inMemory(&message);
        onDisk.open(QIODevice::ReadOnly);
        inMemory.open(QIODevice::ReadOnly);
        TMailMessage written, kept;
        TMimeWalk::walk(onDisk, written, scratch.folder() + u'/', true);
        TMemorySink sink;
        TMimeWalk::walk(inMemory, kept, sink, true);
        QCOMPARE(kept.Attachments, written.Attachments);
        QCOMPARE(kept.Body, written.Body);
        Files files;
        for (const auto& [name, content] : sink.files())
            files[name] = content;
        QCOMPARE(files, scratch.scratchContents());
        QVERIFY(!sink.tempOpen());
    }
}

void TestMimeWalk::manyPartsOfOneNameStayLinear()
{
    // A hostile message with thousands of parts of one name must not make the
    // walk look at every taken alternative again for each part.
    struct CountingSink : TMemorySink
    {
        bool taken(const QString& name) const override
        {
            ++looks;
            return TMemorySink::taken(name);
        }
        mutable int looks = 0;
    } sink;
    sink.create(u"a_2.txt"_s); // already there: the walk must step over it
    constexpr int parts = 2000;
    QByteArray message = "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\n\nbody\n";
    for (int i = 0; i < parts; ++i)
        message += "--b\nContent-Type: text/plain; name=\"a.txt\"\n\nx\n";
    message += "--b--\n";
    QBuffer source(&message);
    source.open(QIODevice::ReadOnly);
    TMailMessage m;
    TMimeWalk::walk(source, m, sink, false);
    QCOMPARE(m.Attachments.size(), parts);
    QCOMPARE(m.Attachments.mid(0, 4), (QStringList{u"a.txt"_s, u"a_1.txt"_s, u"a_3.txt"_s, u"a_4.txt"_s}));
    QCOMPARE(m.Attachments.constLast(), u"a_%1.txt"_s.arg(parts));
    QVERIFY2(sink.looks < 4 * parts, qPrintable(QString::number(sink.looks)));
}

QTEST_GUILESS_MAIN(TestMimeWalk)
#include "tst_mimewalk.moc"
