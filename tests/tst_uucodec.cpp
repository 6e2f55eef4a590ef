#include "Exception.h"
#include "UUCodec.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray decode(UUMethods method, const QByteArray& encoded)
{
    QBuffer in;
    in.setData(encoded);
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    TUUProcessor processor;
    processor.setMethod(method);
    processor.setInputStream(&in);
    processor.setOutputStream(&out);
    processor.Decode();
    return out.data();
}

QByteArray base64Lines(const QByteArray& data, const char* lineEnd)
{
    const QByteArray text = data.toBase64();
    QByteArray lines;
    for (qsizetype i = 0; i < text.size(); i += 76)
        lines += text.mid(i, 76) + lineEnd;
    return lines;
}

// The classic format, written independently of the decoder: 45 bytes per line,
// a length character, zero values written as `zero`.
QByteArray uuencode(const QByteArray& data, char zero)
{
    const auto put = [zero](unsigned value) { return value == 0 ? zero : char(32 + value); };
    QByteArray text = "begin 644 data.bin\r\n";
    for (qsizetype pos = 0; pos < data.size(); pos += 45) {
        const QByteArray chunk = data.mid(pos, 45);
        text += put(unsigned(chunk.size()));
        for (qsizetype i = 0; i < chunk.size(); i += 3) {
            const auto byte = [&](qsizetype k) { return k < chunk.size() ? unsigned(uchar(chunk[k])) : 0u; };
            const unsigned triple = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
            for (int shift = 18; shift >= 0; shift -= 6)
                text += put(triple >> shift & 63);
        }
        text += "\r\n";
    }
    return text + zero + "\r\nend\r\n";
}

QByteArray randomBytes(qsizetype size)
{
    QRandomGenerator generator(quint32(size) + 7);
    QByteArray data(size, Qt::Uninitialized);
    for (char& c : data)
        c = char(generator.bounded(256));
    return data;
}

} // namespace

class TestUUCodec : public QObject
{
    Q_OBJECT

private slots:
    void base64_data();
    void base64();
    void uudecode_data();
    void uudecode();
    void roundTrip_data();
    void roundTrip();
    void readsAndWritesAtTheStreamPositions();
    void methodFor_data();
    void methodFor();
    void streamFailuresAreErrors_data();
    void streamFailuresAreErrors();
};

void TestUUCodec::base64_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("one group, no pad") << "YWJj\r\n"_ba
                                       << "abc"_ba;
    QTest::newRow("one pad gives two bytes") << "YWJjYWI=\r\n"_ba
                                             << "abcab"_ba;
    QTest::newRow("two pads give one byte") << "YWJjYQ==\r\n"_ba
                                            << "abca"_ba;
    QTest::newRow("nothing after the padded line") << "YQ==\r\nYWJj\r\n"_ba
                                                   << "a"_ba;
    QTest::newRow("empty lines between") << "YWJj\r\n\r\n\r\nZGVm\r\n"_ba
                                         << "abcdef"_ba;
    QTest::newRow("bare LF line ends") << "YWJj\nZGVm\n"_ba
                                       << "abcdef"_ba;
    QTest::newRow("last line without line end") << "YWJj\r\nZGVm"_ba
                                                << "abcdef"_ba;
    QTest::newRow("only two-character lines") << "YW\r\nJj\r\nYQ\r\n"_ba << QByteArray();
    QTest::newRow("==== line skipped") << "YWJj\r\n====\r\nZGVm\r\n"_ba
                                       << "abcdef"_ba;
    QTest::newRow("leading garbage skipped") << "  *YWJj\r\n"_ba
                                             << "abc"_ba;
    QTest::newRow("leading pad ends the run") << "YWJj\r\n -=ZGVm\r\nZGVm\r\n"_ba
                                              << "abc"_ba;
    QTest::newRow("lone character at line end skipped") << "YWJj\r\n-- Z\r\nZGVm\r\n"_ba
                                                        << "abcdef"_ba;
    QTest::newRow("separators between groups") << "YWJj ZGVm\tZ2hp.\r\n"_ba
                                               << "abcdefghi"_ba;
    QTest::newRow("garbage inside a group") << "YW*Jj ZG\rVm\r\n"_ba
                                            << "abcdef"_ba;
    QTest::newRow("8-bit garbage") << "\xff\xfeYWJj\x80\r\n"_ba
                                   << "abc"_ba;
    QTest::newRow("two characters cut short end the run") << "YWJjZA\r\nZGVm\r\n"_ba
                                                          << "abcd"_ba;
    QTest::newRow("three characters cut short") << "YWI\r\nZGVm\r\n"_ba
                                                << "ab"_ba;
    QTest::newRow("one leftover character gives no byte") << "YWJjZ\r\nZGVm\r\n"_ba
                                                          << "abc"_ba;
    QTest::newRow("padded groups in one line") << "YQ==Yg==\r\nYWJj\r\n"_ba
                                               << "ab"_ba;
    const QByteArray wide = randomBytes(600);
    QTest::newRow("line far over 198 characters") << QByteArray(wide.toBase64() + "\r\n") << wide;
    QTest::newRow("empty input") << QByteArray() << QByteArray();
}

void TestUUCodec::base64()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(decode(UUMethods::uuMime, input), expected);
}

void TestUUCodec::uudecode_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("begin, data, grave, end") << "begin 644 cat.txt\r\n#0V%T\r\n`\r\nend\r\n"_ba
                                             << "Cat"_ba;
    QTest::newRow("begin with other mode and a blank in the name")
        << "begin 0755 my cat.bin\r\n#0V%T\r\n`\r\nend\r\n"_ba
        << "Cat"_ba;
    QTest::newRow("no begin line") << "#0V%T\r\n"_ba
                                   << "Cat"_ba;
    QTest::newRow("count 2 cuts the last group") << "\"0V%T\r\n"_ba
                                                 << "Ca"_ba;
    QTest::newRow("count 1 cuts the last group") << "!0V%T\r\n"_ba
                                                 << "C"_ba;
    QTest::newRow("count 4 takes two groups") << "$0V%T80``\r\n"_ba
                                              << "Cata"_ba;
    QTest::newRow("grave accent is zero") << "#````\r\n"_ba << QByteArray(3, '\0');
    QTest::newRow("blank is zero") << "#    \r\n"_ba << QByteArray(3, '\0');
    QTest::newRow("trailing blanks stripped in transport") << "#0V$\r\n"_ba
                                                           << "Ca\0"_ba;
    QTest::newRow("zero count skips the next line") << "#0V%T\r\n` x\r\n#0V%T\r\n#0V%T\r\n"_ba
                                                    << "CatCat"_ba;
    QTest::newRow("bare LF line ends") << "begin 644 a\n#0V%T\n`\nend\n"_ba
                                       << "Cat"_ba;
    QTest::newRow("text after end is not data") << "#0V%T\r\n`\r\nend\r\nThanks, Bob\r\n"_ba
                                                << "Cat"_ba;
    QTest::newRow("end after zero line still ends") << "#0V%T\r\n`xx\r\nend\r\nThanks, Bob\r\n"_ba
                                                    << "Cat"_ba;
    QTest::newRow("only two-character lines") << "#0\r\n`\r\n"_ba << QByteArray();
}

void TestUUCodec::uudecode()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(decode(UUMethods::uuCode, input), expected);
}

void TestUUCodec::roundTrip_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("encoded");
    for (const int size : {0, 1, 2, 3, 57, 1000, 100000}) {
        const QByteArray data = randomBytes(size);
        QTest::addRow("base64 CR LF, %d bytes", size) << int(UUMethods::uuMime) << data << base64Lines(data, "\r\n");
        QTest::addRow("base64 LF, %d bytes", size) << int(UUMethods::uuMime) << data << base64Lines(data, "\n");
        QTest::addRow("uuencode grave, %d bytes", size) << int(UUMethods::uuCode) << data << uuencode(data, '`');
        QTest::addRow("uuencode blank, %d bytes", size) << int(UUMethods::uuCode) << data << uuencode(data, ' ');
    }
}

void TestUUCodec::roundTrip()
{
    QFETCH(int, method);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, encoded);

    // Files, as the retrieval uses it: a temporary part file into the attachment.
    QTemporaryDir dir;
    QFile part(dir.filePath(u"Temp1.mme"_s));
    QVERIFY(part.open(QIODevice::WriteOnly) && part.write(encoded) == encoded.size());
    part.close();
    QVERIFY(part.open(QIODevice::ReadOnly));
    QFile attachment(dir.filePath(u"data.bin"_s));
    QVERIFY(attachment.open(QIODevice::WriteOnly));
    TUUProcessor processor;
    processor.setMethod(UUMethods(method));
    processor.setInputStream(&part);
    processor.setOutputStream(&attachment);
    processor.Decode();
    attachment.close();

    QVERIFY(attachment.open(QIODevice::ReadOnly));
    const QByteArray decoded = attachment.readAll();
    QCOMPARE(decoded.size(), data.size());
    QVERIFY(decoded == data);
}

void TestUUCodec::readsAndWritesAtTheStreamPositions()
{
    QBuffer in;
    in.setData("not to be read\r\nYWJj\r\nYQ==\r\nYWJj\r\n"_ba);
    in.open(QIODevice::ReadOnly);
    in.seek(16);
    QBuffer out;
    out.setData("kept"_ba);
    out.open(QIODevice::ReadWrite);
    out.seek(4);

    TUUProcessor processor;
    processor.setInputStream(&in);
    processor.setOutputStream(&out);
    QList<QByteArray> events;
    processor.OnBeginDecode = [&](QObject* sender) {
        QCOMPARE(sender, &processor);
        events << QByteArray("begin " + out.data());
    };
    processor.OnEndDecode = [&](QObject* sender) {
        QCOMPARE(sender, &processor);
        events << QByteArray("end " + out.data());
    };
    processor.Decode();

    QCOMPARE(events, (QList<QByteArray>{"begin kept"_ba, "end keptabca"_ba}));
    // The run ended with the padded line; the input stands right after it.
    QCOMPARE(in.pos(), qint64(28));
}

void TestUUCodec::methodFor_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<int>("method");
    QTest::newRow("base64") << "base64"_ba << int(UUMethods::uuMime);
    QTest::newRow("BASE64") << "BASE64"_ba << int(UUMethods::uuMime);
    QTest::newRow("x-uuencode") << "x-uuencode"_ba << int(UUMethods::uuCode);
    QTest::newRow("X-UUEncode") << "X-UUEncode"_ba << int(UUMethods::uuCode);
    QTest::newRow("quoted-printable") << "quoted-printable"_ba << -1;
    QTest::newRow("7bit") << "7bit"_ba << -1;
    QTest::newRow("none") << QByteArray() << -1;
}

void TestUUCodec::methodFor()
{
    QFETCH(QByteArray, encoding);
    QFETCH(int, method);
    const std::optional<UUMethods> chosen = TUUProcessor::MethodFor(encoding);
    QCOMPARE(chosen ? int(*chosen) : -1, method);
}

void TestUUCodec::streamFailuresAreErrors_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("size");
    QTest::newRow("full disk, output within the file buffer") << u"/dev/full"_s << 10;
    QTest::newRow("full disk, large output") << u"/dev/full"_s << 500000;
    QTest::newRow("output not open") << QString() << 10;
}

void TestUUCodec::streamFailuresAreErrors()
{
    QFETCH(QString, output);
    QFETCH(int, size);
    if (!output.isEmpty() && !QFile::exists(output))
        QSKIP("no full device on this system");

    QBuffer in;
    in.setData(base64Lines(randomBytes(size), "\r\n"));
    in.open(QIODevice::ReadOnly);
    QFile out(output);
    if (!output.isEmpty())
        QVERIFY(out.open(QIODevice::WriteOnly));
    TUUProcessor processor;
    processor.setInputStream(&in);
    processor.setOutputStream(&out);
    bool ended = false;
    processor.OnEndDecode = [&](QObject*) { ended = true; };
    QVERIFY_THROWS_EXCEPTION(Exception, processor.Decode());
    QVERIFY(!ended);
}

QTEST_GUILESS_MAIN(TestUUCodec)
#include "tst_uucodec.moc"
