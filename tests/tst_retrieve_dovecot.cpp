#include "DovecotServer.h"
#include "Exception.h"
#include "MimeFixtures.h"
#include "Pop3Client.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Mailbox order: the message numbers the tests retrieve.
const QStringList kMessages = {u"collisions.eml"_s, u"padding.eml"_s, u"uuencoded.eml"_s, u"nested.eml"_s,
                               u"plain.eml"_s};

} // namespace

// Retrieval from a real Dovecot: what a real server sends (dot-stuffing, line
// ends) must arrive as the very bytes that were attached.
class TestRetrieveDovecot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void attachmentsByteExact_data();
    void attachmentsByteExact();
    void deletedMessageIsRefused();

private:
    void connect(TPop3Client& client);
    std::unique_ptr<DovecotServer> m_server;
    std::unique_ptr<QTemporaryDir> m_scratch;
};

void TestRetrieveDovecot::initTestCase()
{
    if (!DovecotServer::isAvailable())
        QSKIP("dovecot is not installed (package dovecot-pop3d); scripts/install-deps.sh installs it");
}

void TestRetrieveDovecot::init()
{
    m_server = std::make_unique<DovecotServer>();
    for (const QString& name : kMessages)
        m_server->addMessage(mimeFixture(name));
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
    m_scratch = std::make_unique<QTemporaryDir>();
}

void TestRetrieveDovecot::cleanup()
{
    if (m_server && QTest::currentTestFailed())
        qWarning().noquote() << "dovecot log:" << m_server->log();
    m_server.reset();
    m_scratch.reset();
}

void TestRetrieveDovecot::connect(TPop3Client& client)
{
    client.Host = QString::fromLatin1(m_server->host());
    client.Port = m_server->port();
    client.UserID = QString::fromLatin1(m_server->user());
    client.Password = QString::fromLatin1(m_server->password());
    client.TimeOut = 20000;
    client.setAttachFilePath(m_scratch->path());
    client.Connect();
}

void TestRetrieveDovecot::attachmentsByteExact_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QStringList>("attachments");
    QTest::addColumn<QStringList>("originals");
    QTest::newRow("two files of one name")
        << 1 << QStringList{u"a.pdf"_s, u"a_1.pdf"_s} << QStringList{u"a-first.pdf"_s, u"a-second.pdf"_s};
    const QStringList pads = {u"pad2.bin"_s, u"pad1.bin"_s, u"pad0.bin"_s, u"nopad.bin"_s};
    QTest::newRow("base64 padding") << 2 << pads << pads;
    QTest::newRow("uuencoded") << 3 << QStringList{u"prog.exe"_s} << QStringList{u"prog.exe"_s};
    QTest::newRow("nested multipart") << 4 << QStringList{u"report.csv"_s} << QStringList{u"report.csv"_s};
    QTest::newRow("dot lines, no MIME") << 5 << QStringList{} << QStringList{};
}

void TestRetrieveDovecot::attachmentsByteExact()
{
    QFETCH(int, number);
    QFETCH(QStringList, attachments);
    QFETCH(QStringList, originals);

    TPop3Client client;
    connect(client);
    client.RetrieveMessage(number);
    client.Disconnect();

    QCOMPARE(client.MailMessage().Attachments, attachments);
    for (qsizetype i = 0; i < attachments.size(); ++i)
        QCOMPARE(readFile(m_scratch->filePath(attachments[i])), mimeFixture(originals[i]));
    // Only the attachments: the temporary part files are gone.
    QCOMPARE(QDir(m_scratch->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), [&] {
        QStringList sorted = attachments;
        sorted.sort();
        return sorted;
    }());
    if (number == 5)
        QCOMPARE(client.MailMessage().Body.mid(1, 2), (QByteArrayList{".hidden line with one dot", "..two dots"}));
}

void TestRetrieveDovecot::deletedMessageIsRefused()
{
    TPop3Client client;
    connect(client);
    client.RetrieveMessage(3);
    QCOMPARE(client.MailMessage().Attachments, QStringList{u"prog.exe"_s});
    client.DeleteMessage(1);

    QString error;
    try {
        client.RetrieveMessage(1);
    } catch (const Exception& e) {
        error = e.message();
    }
    QVERIFY2(error.startsWith(u"-ERR"_s), qPrintable(error));
    QVERIFY(!client.Busy());
    // The refusal keeps the message before it and writes nothing.
    QCOMPARE(client.MailMessage().Attachments, QStringList{u"prog.exe"_s});
    QCOMPARE(QDir(m_scratch->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{u"prog.exe"_s});
    // The connection is still usable.
    client.RetrieveMessage(4);
    QCOMPARE(client.MailMessage().Attachments, QStringList{u"report.csv"_s});
    client.Disconnect();
}

QTEST_GUILESS_MAIN(TestRetrieveDovecot)
#include "tst_retrieve_dovecot.moc"
