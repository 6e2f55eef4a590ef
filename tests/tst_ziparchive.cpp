#include "Exception.h"
#include "TestSupport.h"
#include "ZipArchive.h"

#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Member
{
    QByteArray name;
    QByteArray data;
    quint32 unixMode = 0100644;
};

struct Built
{
    QByteArray bytes;
    QList<qint64> dataEnds; // offset just after each entry's data
};

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

// A stored (uncompressed) archive made on Unix, dated 1 January 2020, 12:00.
Built buildZip(const QList<Member>& members)
{
    Built built;
    QByteArray central;
    QDataStream out(&built.bytes, QIODevice::WriteOnly), dir(&central, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    dir.setByteOrder(QDataStream::LittleEndian);
    for (const Member& m : members) {
        const auto offset = quint32(built.bytes.size());
        const auto common = [&m](QDataStream& s) {
            s << quint16(20) << quint16(0) << quint16(0) << quint16(12 << 11) << quint16((40 << 9) | (1 << 5) | 1)
              << crc32(m.data) << quint32(m.data.size()) << quint32(m.data.size()) << quint16(m.name.size())
              << quint16(0);
        };
        out << quint32(0x04034B50);
        common(out);
        out.writeRawData(m.name.constData(), int(m.name.size()));
        out.writeRawData(m.data.constData(), int(m.data.size()));
        built.dataEnds.append(built.bytes.size());
        dir << quint32(0x02014B50) << quint16((3 << 8) | 20);
        common(dir);
        dir << quint16(0) << quint16(0) << quint16(0) << quint32(m.unixMode << 16) << offset;
        dir.writeRawData(m.name.constData(), int(m.name.size()));
    }
    const auto centralStart = quint32(built.bytes.size());
    out.writeRawData(central.constData(), int(central.size()));
    out << quint32(0x06054B50) << quint32(0) << quint16(members.size()) << quint16(members.size())
        << quint32(central.size()) << centralStart << quint16(0);
    return built;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Everything below the folder, symbolic links listed but not followed.
QStringList tree(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(root).relativeFilePath(it.next()));
    found.sort();
    return found;
}

} // namespace

class TestZipArchive : public QObject
{
    Q_OBJECT

private slots:
    void scanFollowsTheArchiveLayout_data();
    void scanFollowsTheArchiveLayout();
    void extractsRealArchiveByteExact();
    void skipsEntriesThatLeaveTheTarget();
    void damagedArchiveWritesNothing_data();
    void damagedArchiveWritesNothing();
    void optionsDecideWhatIsReplaced_data();
    void optionsDecideWhatIsReplaced();
    void masksMissingArchiveAndLinkedLibrary();
    void memoryArchiveExtractsLikeTheDisk();
};

void TestZipArchive::scanFollowsTheArchiveLayout_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("error");
    const Built good = buildZip({{"one.txt", "first"}, {"dir/two.txt", "second entry"}, {"three", QByteArray(300, 1)}});
    const QString none = u"No valid zip entries found"_s;
    QByteArray overrun = buildZip({{"bad", "x"}}).bytes.left(33);
    overrun[21] = char(0x7F); // compressed size far beyond the file

    QTest::newRow("well-formed") << u"a.zip"_s << good.bytes << 3 << QString() << QString();
    QTest::newRow("junk, header at candidate 60000")
        << u"a.zip"_s << QByteArray(59999, 'x') + good.bytes << 3 << QString() << QString();
    QTest::newRow("junk, header at candidate 60001")
        << u"a.zip"_s << QByteArray(60000, 'x') + good.bytes << 0 << none << QString();
    QTest::newRow("EXE skips 14000 bytes")
        << u"a.EXE"_s << QByteArray(14000 + 59999, 'P') + good.bytes << 3 << QString() << QString();
    QTest::newRow("exe in any case, still a limit")
        << u"a.eXe"_s << QByteArray(14000 + 60000, 'P') + good.bytes << 0 << none << QString();
    QTest::newRow("no skip without EXE") << u"a.zip"_s << QByteArray(14000 + 59999, 'P') + good.bytes << 0 << none
                                         << QString();
    QTest::newRow("wrong signature") << u"a.zip"_s << QByteArray(good.bytes).replace("PK\3\4", "PK\7\x08") << 0 << none
                                     << QString();
    QTest::newRow("empty file") << u"a.zip"_s << ""_ba << 0 << none << QString();
    QTest::newRow("first header overrunning the end is searched past")
        << u"a.zip"_s << overrun + good.bytes << 3 << QString() << QString();
    QTest::newRow("later header overrunning the end")
        << u"a.zip"_s << good.bytes.left(good.dataEnds[1]) << 1 << QString() << u"Error 3 reading Zip file"_s;
    QTest::newRow("cut inside a later header")
        << u"a.zip"_s << good.bytes.left(good.dataEnds[0] + 24) << 1 << QString() << u"Error 2 reading Zip file"_s;
    QTest::newRow("junk instead of the directory")
        << u"a.zip"_s << good.bytes.left(good.dataEnds[2]) + QByteArray(30, 'j') << 3 << QString()
        << u"Error reading Zip File"_s;
    QTest::newRow("only entry cut after its data")
        << u"a.zip"_s << buildZip({{"only", "data"}}).bytes.left(38) << 0 << none << QString();
    QTest::newRow("missing file") << u"a.zip"_s << QByteArray() << 0 << QString() << QString();
}

void TestZipArchive::scanFollowsTheArchiveLayout()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(int, entries);
    QFETCH(QString, box);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(fileName);
    if (!bytes.isNull())
        QVERIFY(writeFile(path, bytes));
    ScriptedDialogs dialogs;
    TZipArchive zip;
    int dirUpdates = 0;
    zip.OnDirUpdate = [&](QObject* sender) { dirUpdates += sender == &zip; };
    QString raised;
    try {
        zip.setZipFilename(path);
    } catch (const Exception& e) {
        raised = e.message();
    }
    QCOMPARE(raised, error);
    QCOMPARE(zip.Count(), entries);
    QCOMPARE(dialogs.texts(), box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(dirUpdates, 1);
    if (entries == 3 && error.isEmpty()) {
        QCOMPARE(zip.Entries()[1].FileName, "dir/two.txt"_ba);
        QCOMPARE(zip.Entries()[1].UncompressedSize, 12u);
        QCOMPARE(zip.Entries()[2].Crc32, crc32(QByteArray(300, 1)));
    }
}

void TestZipArchive::extractsRealArchiveByteExact()
{
    QTemporaryDir dir;
    QByteArray binary;
    for (quint32 i = 0, x = 1; i < 200000; ++i, x = x * 1103515245 + 12345)
        binary.append(char(i < 256 ? i : x >> 24));
    QVERIFY(writeFile(dir.filePath(u"src/bin.dat"_s), binary));
    QVERIFY(writeFile(dir.filePath(u"src/pages/deep/page.htm"_s), "<p>Hilfe</p>\r\n"));
    QVERIFY(QDir().mkpath(dir.filePath(u"src/empty"_s)));
    QProcess zipTool;
    zipTool.setWorkingDirectory(dir.filePath(u"src"_s));
    zipTool.start(u"zip"_s, {u"-r"_s, u"-q"_s, u"../help.zip"_s, u"."_s});
    if (!zipTool.waitForStarted())
        QSKIP("the zip tool is not installed");
    QVERIFY(zipTool.waitForFinished() && zipTool.exitCode() == 0);

    ScriptedDialogs dialogs;
    TZipArchive zip;
    const QString out = dir.filePath(u"out"_s);
    QVERIFY(QDir().mkpath(out));
    zip.setExtrBaseDir(out);
    zip.setExtrOptions(TZipArchive::ExtrDirNames | TZipArchive::ExtrOverWrite);
    zip.setZipFilename(dir.filePath(u"help.zip"_s));
    QCOMPARE(zip.Count(), 5); // two files and three folders
    QList<int> kinds;
    zip.OnProgress = [&](QObject*, TZipArchive::ProgressType kind, const QString&, qint64) {
        kinds.append(kind);
        zip.RunExtraction(); // nested on the same wrapper: returns at once
    };
    for (int run = 0; run < 2; ++run) { // the second run overwrites
        kinds.clear();
        zip.RunExtraction();
        QCOMPARE(zip.ExtractResult(), int(TZipArchive::ResultOk));
        QCOMPARE(kinds.count(TZipArchive::NewFile), 2);
        QCOMPARE(kinds.last(), int(TZipArchive::EndOfBatch));
        QVERIFY(readFile(out + u"/bin.dat"_s) == binary);
        QCOMPARE(readFile(out + u"/pages/deep/page.htm"_s), "<p>Hilfe</p>\r\n"_ba);
        QVERIFY(QFileInfo(out + u"/empty"_s).isDir());
    }
    QVERIFY(dialogs.texts().isEmpty());
}

void TestZipArchive::skipsEntriesThatLeaveTheTarget()
{
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString target = root + u"/target/help"_s;
    QVERIFY(writeFile(root + u"/outside/victim.txt"_s, "precious"));
    QVERIFY(QDir().mkpath(target));
    QVERIFY(QFile::link(root + u"/outside"_s, target + u"/out"_s));
    QVERIFY(QFile::link(root + u"/outside/victim.txt"_s, target + u"/file.txt"_s));
    const Built built = buildZip({{"good.txt", "ok"},
                                  {"../evil.txt", "x"},
                                  {QFile::encodeName(root) + "/abs.txt", "x"},
                                  {"a/../../x.txt", "x"},
                                  {"dir\\..\\..\\y.txt", "x"},
                                  {"C:/drive.txt", "x"},
                                  {"./d:\\drive.txt", "x"},
                                  {"sub\\ok.txt", "ok"},
                                  {"link", "../../outside", 0120777},
                                  {"out/made/inside.txt", "x"},
                                  {"out/folder/", ""},
                                  {"file.txt", "new"}});
    QVERIFY(writeFile(root + u"/evil.zip"_s, built.bytes));

    ScriptedDialogs dialogs;
    TZipArchive zip;
    QStringList skipped;
    zip.OnMessage = [&](QObject*, int code, const QString& text) {
        if (code == TZipArchive::UnsafeEntry)
            skipped.append(text.section(u": "_s, 1));
    };
    zip.setExtrBaseDir(target);
    zip.setExtrOptions(TZipArchive::ExtrDirNames | TZipArchive::ExtrOverWrite);
    zip.setZipFilename(root + u"/evil.zip"_s);
    QCOMPARE(zip.Count(), 12);
    zip.RunExtraction();

    QCOMPARE(skipped, QStringList({u"../evil.txt"_s, root + u"/abs.txt"_s, u"a/../../x.txt"_s, u"dir\\..\\..\\y.txt"_s,
                                   u"C:/drive.txt"_s, u"./d:\\drive.txt"_s, u"link"_s, u"out/made/inside.txt"_s,
                                   u"out/folder/"_s}));
    QCOMPARE(zip.ExtractResult(), int(TZipArchive::ResultWarning));
    QCOMPARE(tree(root), QStringList({u"evil.zip"_s, u"outside"_s, u"outside/victim.txt"_s, u"target"_s,
                                      u"target/help"_s, u"target/help/file.txt"_s, u"target/help/good.txt"_s,
                                      u"target/help/out"_s, u"target/help/sub"_s, u"target/help/sub/ok.txt"_s}));
    QCOMPARE(readFile(root + u"/outside/victim.txt"_s), "precious"_ba);
    QVERIFY(!QFileInfo(target + u"/file.txt"_s).isSymLink());
    QCOMPARE(readFile(target + u"/file.txt"_s), "new"_ba);
    QCOMPARE(readFile(target + u"/sub/ok.txt"_s), "ok"_ba);
    QVERIFY(dialogs.texts().isEmpty());
}

void TestZipArchive::damagedArchiveWritesNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("result");
    const Built built = buildZip({{"a.txt", "hello"}, {"b.txt", "world"}});
    QByteArray badCrc = built.bytes;
    badCrc[built.dataEnds[0] - 1] = 'O';
    QTest::newRow("no central directory")
        << built.bytes.left(built.dataEnds[1] + 30) << int(TZipArchive::ResultDamaged);
    QTest::newRow("not a zip at all") << QByteArray(100, 'z') << int(TZipArchive::ResultDamaged);
    QTest::newRow("checksum wrong") << badCrc << int(TZipArchive::ResultWarning);
}

void TestZipArchive::damagedArchiveWritesNothing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, result);
    QTemporaryDir dir;
    const QString out = dir.filePath(u"out"_s);
    QVERIFY(writeFile(out + u"/a.txt"_s, "old"));
    QVERIFY(writeFile(dir.filePath(u"bad.zip"_s), bytes));
    ScriptedDialogs dialogs;
    TZipArchive zip;
    int messages = 0;
    zip.OnMessage = [&](QObject*, int code, const QString&) { messages += code != 0; };
    zip.setExtrBaseDir(out);
    zip.setExtrOptions(TZipArchive::ExtrDirNames | TZipArchive::ExtrOverWrite);
    try {
        zip.setZipFilename(dir.filePath(u"bad.zip"_s));
    } catch (const Exception&) {
        // the scan's verdict is tested above; extraction must cope either way
    }
    zip.RunExtraction();
    QCOMPARE(zip.ExtractResult(), result);
    QVERIFY(messages > 0);
    QCOMPARE(readFile(out + u"/a.txt"_s), "old"_ba);
    const QStringList left = tree(out);
    QVERIFY2(left == QStringList{u"a.txt"_s} || left == QStringList({u"a.txt"_s, u"b.txt"_s}),
             qPrintable(left.join(u' ')));
}

void TestZipArchive::optionsDecideWhatIsReplaced_data()
{
    QTest::addColumn<int>("options");
    QTest::addColumn<int>("existingYear");
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<bool>("bAdded");
    using Z = TZipArchive;
    QTest::newRow("overwrite replaces even newer") << int(Z::ExtrOverWrite) << 2030 << "new"_ba << true;
    QTest::newRow("without overwrite kept") << 0 << 2001 << "old"_ba << true;
    QTest::newRow("freshen replaces older, adds none") << int(Z::ExtrFreshen) << 2001 << "new"_ba << false;
    QTest::newRow("freshen keeps newer") << int(Z::ExtrFreshen) << 2030 << "old"_ba << false;
    QTest::newRow("update replaces older and adds") << int(Z::ExtrUpdate | Z::ExtrFreshen) << 2001 << "new"_ba << true;
    QTest::newRow("test writes nothing") << int(Z::ExtrTest | Z::ExtrOverWrite) << 2001 << "old"_ba << false;
}

void TestZipArchive::optionsDecideWhatIsReplaced()
{
    QFETCH(int, options);
    QFETCH(int, existingYear);
    QFETCH(QByteArray, a);
    QFETCH(bool, bAdded);
    QTemporaryDir dir;
    const QString out = dir.filePath(u"out"_s);
    QVERIFY(writeFile(out + u"/a.txt"_s, "old"));
    {
        QFile existing(out + u"/a.txt"_s);
        QVERIFY(existing.open(QIODevice::ReadWrite));
        QVERIFY(existing.setFileTime(QDateTime(QDate(existingYear, 6, 1), QTime(12, 0)),
                                     QFileDevice::FileModificationTime));
    }
    QVERIFY(writeFile(dir.filePath(u"x.zip"_s), buildZip({{"a.txt", "new"}, {"b.txt", "b"}}).bytes));
    TZipArchive zip;
    zip.setExtrBaseDir(out);
    zip.setExtrOptions(TZipArchive::ExtrOptionSet(options));
    zip.setZipFilename(dir.filePath(u"x.zip"_s));
    zip.RunExtraction();
    QCOMPARE(zip.ExtractResult(), int(TZipArchive::ResultOk));
    QCOMPARE(readFile(out + u"/a.txt"_s), a);
    QCOMPARE(QFile::exists(out + u"/b.txt"_s), bAdded);
}

void TestZipArchive::masksMissingArchiveAndLinkedLibrary()
{
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    TZipArchive zip;
    zip.setTrace(true);
    zip.setLibraryDirectory(QString()); // linked in: no folder is needed
    QVERIFY(zip.LoadUnzipLibrary());
    zip.setLibraryDirectory(u"C:\\system\\"_s);
    QCOMPARE(zip.LibraryDirectory(), u"C:\\system"_s);

    zip.setExtrBaseDir(dir.path());
    zip.setZipFilename(dir.filePath(u"absent.zip"_s));
    zip.RunExtraction();
    QCOMPARE(dialogs.texts(), QStringList{u"Error - no zip file specified"_s});

    QVERIFY(writeFile(dir.filePath(u"m.zip"_s),
                      buildZip({{"index.htm", "i"}, {"img/pic.gif", "g"}, {"sub/PAGE.HTM", "p"}}).bytes));
    zip.setExtrOptions(TZipArchive::ExtrDirNames);
    zip.setZipFilename(dir.filePath(u"m.zip"_s));
    zip.FSpecArgs() << u"*.htm"_s;
    zip.RunExtraction();
    QVERIFY(zip.FSpecArgs().isEmpty());
    QCOMPARE(tree(dir.path()), QStringList({u"index.htm"_s, u"m.zip"_s, u"sub"_s, u"sub/PAGE.HTM"_s}));
    zip.FSpecArgs() << u"*.pdf"_s;
    zip.RunExtraction();
    QCOMPARE(zip.ExtractResult(), int(TZipArchive::ResultNoMatch));
    QCOMPARE(dialogs.texts().size(), 1); // "Unzip library loaded" belongs to a library loaded at run time
}

// The fuzzer reads archives from memory and keeps what they hold there: it
// must get what the disk gets, with the same entries skipped.
void TestZipArchive::memoryArchiveExtractsLikeTheDisk()
{
    const Built built = buildZip({{"good.txt", "ok"},
                                  {"../evil.txt", "x"},
                                  {"/abs.txt", "x"},
                                  {"a/../../x.txt", "x"},
                                  {"sub\\ok.txt", "sub"},
                                  {"link", "../../outside", 0120777},
                                  {"deep/er/", ""},
                                  {"deep/er/f.txt", "f"}});
    QTemporaryDir dir;
    const QString out = dir.filePath(u"out"_s);
    QVERIFY(QDir().mkpath(out));
    QVERIFY(writeFile(dir.filePath(u"a.zip"_s), built.bytes));
    ScriptedDialogs dialogs;
    const auto run = [](TZipArchive& zip, QStringList& skipped) {
        zip.OnMessage = [&skipped](QObject*, int code, const QString& text) {
            if (code == TZipArchive::UnsafeEntry)
                skipped.append(text);
        };
        zip.setExtrOptions(TZipArchive::ExtrDirNames | TZipArchive::ExtrOverWrite);
        zip.RunExtraction();
    };
    TZipArchive onDisk;
    QStringList diskSkipped;
    onDisk.setExtrBaseDir(out);
    onDisk.setZipFilename(dir.filePath(u"a.zip"_s));
    run(onDisk, diskSkipped);

    TZipArchive inMemory;
    TZipMemoryOutput memory;
    QStringList memorySkipped;
    inMemory.setOutput(&memory);
    inMemory.setZipData(built.bytes);
    QCOMPARE(inMemory.Count(), onDisk.Count());
    run(inMemory, memorySkipped);

    QCOMPARE(inMemory.ExtractResult(), int(TZipArchive::ResultWarning));
    QCOMPARE(inMemory.ExtractResult(), onDisk.ExtractResult());
    QCOMPARE(memorySkipped.size(), 4);
    QCOMPARE(memorySkipped, diskSkipped);
    QStringList stored(memory.folders().cbegin(), memory.folders().cend());
    for (const auto& [path, data] : memory.files()) {
        stored.append(path);
        QCOMPARE(data, readFile(out + u'/' + path));
    }
    stored.sort();
    QCOMPARE(stored, tree(out));

    // A damaged archive in memory is damaged as on disk, and adds nothing.
    inMemory.setZipData(QByteArray(100, 'z'));
    inMemory.RunExtraction();
    QCOMPARE(inMemory.ExtractResult(), int(TZipArchive::ResultDamaged));
    QCOMPARE(memory.files().size(), size_t(3));
    QVERIFY(dialogs.texts().size() <= 1); // "No valid zip entries found" from the scan
}

QTEST_GUILESS_MAIN(TestZipArchive)
#include "tst_ziparchive.moc"
