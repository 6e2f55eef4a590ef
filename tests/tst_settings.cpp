#include "SettingsStore.h"
#include "SettingsTable.h"
#include "TestEnvironment.h"
#include "Variabel.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void emptyStoreGivesDefaultsAndClosingWritesEveryValue();
    void brokenValuesGiveDefaults_data();
    void brokenValuesGiveDefaults();
    void passwordsNeverGoIntoTheFile();
    void slotValuesRoundTrip();
    void storeIsOwnerOnly();
    void duplicateDescriptionsPickTheLastSlot();
};

void TestSettings::emptyStoreGivesDefaultsAndClosingWritesEveryValue()
{
    TestEnvironment env;
    Variabel v;
    {
        SettingsStore store;
        v.load(store);
    }
    QCOMPARE(v.FensterLeft, 25);
    QCOMPARE(v.FensterTop, 25);
    QCOMPARE(v.FensterWidth, 490);
    QCOMPARE(v.FensterHeight, 330);
    QCOMPARE(v.FensterStatus, 0);
    QCOMPARE(v.Angabe, u"KByte"_s);
    QVERIFY(v.First);
    QVERIFY(v.Hints);
    QVERIFY(v.Startschirm);
    QVERIFY(!v.Passwort_Sichern);
    QVERIFY(!v.Loeschen_Betreff && !v.Loeschen_Betreff_Eigen && !v.Loeschen_Absender);
    QCOMPARE(v.Port[25], 110);
    // A store from before the security choice keeps its accounts plain.
    QCOMPARE(v.Sicherheit[1], u"Keine"_s);
    QCOMPARE(v.Zertifikat[1], QString());

    v.First = false;
    {
        SettingsStore store;
        v.save(store);
    }
    SettingsStore store;
    QCOMPARE(store.readString(u"Programm"_s, u"First"_s), u"0"_s);
    QCOMPARE(store.readString(u"Programm"_s, u"Passwort_Sichern"_s), u"0"_s);
    QCOMPARE(store.readString(u"Programm"_s, u"Hints"_s), u"1"_s);
    QCOMPARE(store.readString(u"Programm"_s, u"Angabe"_s), u"KByte"_s);
    QCOMPARE(store.readString(u"Programm"_s, u"FensterWidth"_s), u"490"_s);
    QCOMPARE(store.readString(u"Loeschen"_s, u"Absender"_s), u"0"_s);
    const QStringList mail = store.valueNames(u"eMail"_s);
    QCOMPARE(mail.filter(QRegularExpression(u"^Konto\\d+$"_s)).size(), 25);
    QCOMPARE(mail.filter(QRegularExpression(u"^Port\\d+$"_s)).size(), 25);
    QCOMPARE(mail.filter(QRegularExpression(u"^Passwort"_s)).size(), 0);
    QCOMPARE(store.readString(u"eMail"_s, u"Konto7"_s), QString());
    QCOMPARE(store.readString(u"eMail"_s, u"Port12"_s), u"110"_s);
}

void TestSettings::brokenValuesGiveDefaults_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("letters in FensterTop") << u"FensterTop"_s << u"abc"_s << 25;
    QTest::newRow("hex is not decimal") << u"FensterLeft"_s << u"$10"_s << 25;
    QTest::newRow("too large for 32 bits") << u"FensterWidth"_s << u"99999999999"_s << 490;
    QTest::newRow("empty text") << u"FensterHeight"_s << QString() << 330;
    QTest::newRow("negative is a number") << u"FensterTop"_s << u"-40"_s << -40;
    QTest::newRow("maximised") << u"FensterStatus"_s << u"2"_s << 2;
}

void TestSettings::brokenValuesGiveDefaults()
{
    QFETCH(QString, name);
    QFETCH(QString, stored);
    QFETCH(int, expected);
    TestEnvironment env;
    {
        SettingsStore store;
        store.writeString(u"Programm"_s, name, stored);
        store.writeString(u"Programm"_s, u"Hints"_s, u"yes"_s);
        store.writeString(u"Programm"_s, u"Startschirm"_s, u"7"_s);
    }
    Variabel v;
    v.load(SettingsStore());
    const int actual = name == u"FensterTop"_s      ? v.FensterTop
                       : name == u"FensterLeft"_s   ? v.FensterLeft
                       : name == u"FensterWidth"_s  ? v.FensterWidth
                       : name == u"FensterHeight"_s ? v.FensterHeight
                                                    : v.FensterStatus;
    QCOMPARE(actual, expected);
    QVERIFY(v.Hints);       // "yes" is no number: the default
    QVERIFY(v.Startschirm); // any number but 0 is true
}

void TestSettings::passwordsNeverGoIntoTheFile()
{
    TestEnvironment env;
    {
        SettingsStore store;
        store.writeString(u"eMail"_s, u"Passwort3"_s, u"altes-geheim"_s);
    }
    Variabel v;
    v.load(SettingsStore());
    // A password of an earlier version is read whatever the switch says.
    QCOMPARE(v.Passwort[3], u"altes-geheim"_s);

    // Kept passwords go to the secret store; one it has not taken yet stays.
    v.Passwort_Sichern = true;
    v.Passwort[1] = u"neues-geheim"_s;
    v.save(*std::make_unique<SettingsStore>());
    QFile file(env.settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    QVERIFY(!bytes.contains("neues-geheim"));
    QVERIFY(bytes.contains("Passwort3=altes-geheim"));
    file.close();

    v.Passwort_Sichern = false;
    v.save(*std::make_unique<SettingsStore>());
    QVERIFY(file.open(QIODevice::ReadOnly));
    bytes = file.readAll();
    QVERIFY(!bytes.contains("geheim"));
    QVERIFY(!bytes.contains("Passwort3"));
}

void TestSettings::slotValuesRoundTrip()
{
    TestEnvironment env;
    Variabel v;
    v.Konto[12] = u"Büro"_s;
    v.Host[12] = u"pop.example.org"_s;
    v.Port[12] = 995;
    v.UserID[12] = u"anna"_s;
    v.Sicherheit[12] = u"STARTTLS"_s;
    const QString fingerprint = QString(u"0123456789abcdef"_s).repeated(4);
    v.trustCertificate(12, {fingerprint, u"pop.example.org:995"_s, u"9 22"_s});
    v.Angabe = u"MByte"_s;
    v.Client = u"/usr/bin/thunderbird -mail"_s;
    v.Loeschen_Betreff_Eigen = true;
    v.save(*std::make_unique<SettingsStore>());
    QCOMPARE(SettingsStore().readString(u"eMail"_s, u"Port12"_s), u"995"_s);
    Variabel back;
    back.load(SettingsStore());
    QCOMPARE(back.Konto[12], u"Büro"_s);
    QCOMPARE(back.Host[12], u"pop.example.org"_s);
    QCOMPARE(back.Port[12], 995);
    QCOMPARE(back.UserID[12], u"anna"_s);
    QCOMPARE(back.Sicherheit[12], u"STARTTLS"_s);
    QCOMPARE(back.Zertifikat[12], fingerprint);
    QCOMPARE(back.certificateTrust(12).Server, u"pop.example.org:995"_s);
    QCOMPARE(back.certificateTrust(12).Errors, u"9 22"_s);
    // A security value this version does not know is taken for the safe one.
    QCOMPARE(Variabel::securityChoice(u"TLS 1.3"_s), Variabel::SecurityTls);
    QCOMPARE(SettingsStore().readString(u"eMail"_s, u"Sicherheit12"_s), u"STARTTLS"_s);
    QCOMPARE(back.Angabe, u"MByte"_s);
    QCOMPARE(back.Client, u"/usr/bin/thunderbird -mail"_s);
    QVERIFY(back.Loeschen_Betreff_Eigen);
    QVERIFY(!back.Loeschen_Betreff);
}

void TestSettings::storeIsOwnerOnly()
{
    TestEnvironment env;
    Variabel v;
    v.Passwort_Sichern = true;
    v.Passwort[1] = u"secret"_s;
    v.save(*std::make_unique<SettingsStore>());
    const QFile::Permissions perms = QFile::permissions(env.settingsFile());
    QVERIFY(perms & QFile::ReadOwner);
    QVERIFY(!(perms & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther)));
}

void TestSettings::duplicateDescriptionsPickTheLastSlot()
{
    Variabel v;
    v.Konto[2] = u"Privat"_s;
    v.Konto[9] = u"Privat"_s;
    QCOMPARE(v.slotOf(u"Privat"_s), 9);
    QCOMPARE(v.slotOf(u"Fehlt"_s), 0);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
