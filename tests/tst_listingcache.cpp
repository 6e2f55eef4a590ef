#include "Account.h"
#include "ListingCache.h"
#include "Screening.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

static const Account account = [] {
    Account a;
    a.host = u"pop.example.org"_s;
    a.port = 995;
    a.userId = u"jörg"_s;
    a.password = u"Geheim-7x"_s;
    return a;
}();

class TestListingCache : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private slots:
    void initTestCase() { qputenv("XDG_CACHE_HOME", m_home.path().toUtf8()); }
    void roundTrip_data();
    void roundTrip();
    void unusableFileIsIgnoredAndReplaced_data();
    void unusableFileIsIgnoredAndReplaced();
};

void TestListingCache::roundTrip_data()
{
    QTest::addColumn<QByteArrayList>("header");
    QTest::newRow("plain") << QByteArrayList{"From: a@b.de", "To: x@y.de", "Subject: Hallo", "Message-ID: <1@b>"};
    QTest::newRow("folded") << QByteArrayList{"Received: x", "\tby y", "Subject: eins", " \tzwei", "From: a@b"};
    QTest::newRow("encoded, any case") << QByteArrayList{"from: =?utf-8?q?J=C3=B6rg?=", "SUBJECT: =?utf-8?B?w7w=?="};
    QTest::newRow("controls, %") << QByteArrayList{"Subject: 1% \r\x01\x7f", "From: M\xfc\t<m@b>", "Subject:\t%41"};
}

void TestListingCache::roundTrip()
{
    QFETCH(QByteArrayList, header);
    TSummary summary;
    summary.Bytes = 4711;
    summary.Header = header + QByteArrayList{QByteArray(), "Body: x"};
    QVERIFY(ListingCache::save(account, {ListingCache::Entry::fromSummary("uid 1", summary)}));
    const TSummary rebuilt = ListingCache::load(account).value("uid 1").summary();
    for (const QByteArray& name : {"From"_ba, "Subject"_ba, "Message-ID"_ba}) {
        QCOMPARE(Screening::field(rebuilt, name).raw, Screening::field(summary, name).raw);
        QCOMPARE(Screening::field(rebuilt, name).text, Screening::field(summary, name).text);
    }
    QVERIFY(rebuilt.Bytes == 4711 && !rebuilt.Header.contains("To: x") && !rebuilt.Header.contains("\tby y"));
}

void TestListingCache::unusableFileIsIgnoredAndReplaced_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<bool>("rehash");
    const auto row = [](const char* name, const char* from, const char* to, bool rehash) {
        QTest::newRow(name) << QByteArray(from) << QByteArray(to) << rehash;
    };
    row("truncated", "\nend ", "\n", false);
    row("changed byte", "Hallo", "Hallx", false);
    row("other version", "PostrellaListing\t1\t", "PostrellaListing\t2\t", true);
    row("other account", "\tj\xc3\xb6rg\t", "\tanna\t", true);
    row("absurd count", "\t1\nuid", "\t99999999999\nuid", true);
    row("count too small", "\t1\nuid", "\t0\nuid", true);
    row("bad escape", "uid%251", "uid%2", true);
    row("not a cache", "PostrellaListing", "<html>", false);
}

void TestListingCache::unusableFileIsIgnoredAndReplaced()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(bool, rehash);
    const QList<ListingCache::Entry> entries{{"uid%1", 0, {"Subject: Hallo"}}};
    QVERIFY(ListingCache::save(account, entries));
    QFile file(ListingCache::fileFor(account));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray content = file.readAll();
    QVERIFY(content.contains(from) && !content.contains("Geheim"));
    content.replace(from, to);
    if (rehash) {
        content.truncate(content.lastIndexOf("end "));
        content += "end " + QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex() + '\n';
    }
    QVERIFY(file.resize(0) && file.write(content) == content.size());
    file.close();
    QVERIFY(ListingCache::load(account).isEmpty());
    QVERIFY(ListingCache::save(account, entries));
    QCOMPARE(ListingCache::load(account).value("uid%1").summary().Subject, " Hallo"_ba);
    // The user bits say what this process may do; owner, group and other are the mode.
    const QFile::Permissions mode(0x7077);
    QCOMPARE(QFile::permissions(file.fileName()) & mode, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(QFile::permissions(m_home.filePath(u"Postrella"_s)) & mode,
             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_GUILESS_MAIN(TestListingCache)
#include "tst_listingcache.moc"
