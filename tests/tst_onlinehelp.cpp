#include "FWOnlineHelpDialog.h"
#include "FWOnlineHelpUnit.h"
#include "IniFile.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QString kBasicD = u"help/source/basic_D.ohlp"_s;
const QString kBasicE = u"help/source/basic_E.ohlp"_s;
const QString kExtended = u"help/source/extended.ohlp"_s;
const QString kRecord = u"help/CurrentlyUncompressed.ini"_s;
const QString kBasicPage = u"help/index.htm"_s;
const QString kExtendedPage = u"help/extra/credits.htm"_s;
const QString kWindowGroup = u"OnlineHelp/OnlineHelp/HelpWindow/"_s;

// As the main window sets the help up at start-up.
void configure(TFWOnlineHelp& help, const TestEnvironment& env, const QString& letter = u"D"_s)
{
    help.setLanguageCodeLetter(letter);
    help.setContentsPage(u"index.htm"_s);
    help.setRegistryKey(u"Software\\Fernwick\\FW-Postrella\\OnlineHelp"_s);
    help.setFileNameAdditional(u"extended.ohlp"_s);
    help.setFileNameBasicHelp(u"basic.ohlp"_s);
    help.setPathToCompressedHelp(env.path(u"help/source"_s));
    help.setPathToUncompressedHelp(env.path(u"help"_s));
    help.setPathToUnzipLibrary(env.path(u"system"_s));
}

// Everything unpacked, but not the archives (and the record only when asked).
void wipeUnpacked(const TestEnvironment& env, bool keepRecord)
{
    QDir help(env.path(u"help"_s));
    for (const QFileInfo& entry : help.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (entry.fileName() == u"source"_s || (keepRecord && entry.fileName() == u"CurrentlyUncompressed.ini"_s))
            continue;
        if (entry.isDir())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

void setModified(const QString& path, const QDateTime& time)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

QString readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString shownFile(const TFWOnlineHelp& help)
{
    return help.helpWindow() ? help.helpWindow()->WebBrowser()->source().toLocalFile() : QString();
}

// Clicks the link whose text is shown in the browser, as the user would.
void clickLink(QTextBrowser* browser, const QString& text)
{
    const QTextCursor found = browser->document()->find(text);
    QVERIFY2(!found.isNull(), qPrintable(text));
    QTextCursor inside(found);
    inside.setPosition(found.selectionStart() + 1);
    const QPoint point = browser->cursorRect(inside).center();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, point);
}

} // namespace

// Stands in for the user's browser and mail program.
class LinkRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class TestOnlineHelp : public QObject
{
    Q_OBJECT

private slots:
    void unpackDecisions_data();
    void unpackDecisions();
    void unchangedArchiveIsNotUnpackedAgain();
    void dayCountText_data();
    void dayCountText();
    void emptyLibraryPathUnpacksNothing();
    void preparation_data();
    void preparation();
    void contextMessages_data();
    void contextMessages();
    void windowIsReusedAndKeepsItsState();
    void windowGeometryRoundTrip();
    void navigationButtons();
    void outsideLinksLeaveTheHelp();
    void helpButtonOfMessageBoxOpensContext();
    void shippedHelpResolvesEveryContext_data();
    void shippedHelpResolvesEveryContext();
    void propertiesAndComponentInfo();
};

void TestOnlineHelp::unpackDecisions_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("basicAgain");
    QTest::addColumn<bool>("additionalAgain");

    QTest::newRow("nothing changed") << u"none"_s << false << false;
    QTest::newRow("letter switched to E") << u"letter"_s << true << false;
    QTest::newRow("basic archive newer") << u"basic newer"_s << true << false;
    QTest::newRow("basic archive older") << u"basic older"_s << false << false;
    QTest::newRow("additional archive newer") << u"additional newer"_s << false << true;
    QTest::newRow("recorded time 0") << u"time=0"_s << true << false;
    QTest::newRow("recorded time empty") << u"time="_s << true << false;
    QTest::newRow("recorded time no number") << u"time=gestern"_s << true << false;
    QTest::newRow("recorded time negative") << u"time=-5"_s << true << false;
    QTest::newRow("record deleted") << u"no record"_s << true << true;
}

void TestOnlineHelp::unpackDecisions()
{
    QFETCH(QString, change);
    QFETCH(bool, basicAgain);
    QFETCH(bool, additionalAgain);
    TestEnvironment env;
    ScriptedDialogs dialogs;
    wipeUnpacked(env, false);
    TFWOnlineHelp help;
    configure(help, env);

    // First start: both archives unpacked with their folders, and recorded.
    QVERIFY(help.PrepareHelp());
    QVERIFY(QFile::exists(env.path(kBasicPage)));
    QVERIFY(QFile::exists(env.path(kExtendedPage)));
    const TIniFile record(env.path(kRecord));
    QCOMPARE(record.readString(u"FILES"_s, u"FILENAMEBASICHELP"_s), u"basic_D.ohlp"_s);
    QCOMPARE(record.readString(u"FILES"_s, u"FILENAMEADDITIONAL"_s), u"extended.ohlp"_s);
    QCOMPARE(record.readString(u"FILES"_s, u"DATE_FILENAMEBASICHELP"_s),
             TFWOnlineHelp::dayCountText(TFWOnlineHelp::fileDayCount(env.path(kBasicD))));
    QCOMPARE(record.readString(u"FILES"_s, u"DATE_FILENAMEADDITIONAL"_s),
             TFWOnlineHelp::dayCountText(TFWOnlineHelp::fileDayCount(env.path(kExtended))));

    wipeUnpacked(env, true);
    const QDateTime basicTime = QFileInfo(env.path(kBasicD)).lastModified();
    if (change == u"letter"_s)
        help.setLanguageCodeLetter(u"E"_s);
    else if (change == u"basic newer"_s)
        setModified(env.path(kBasicD), basicTime.addSecs(3600));
    else if (change == u"basic older"_s)
        setModified(env.path(kBasicD), basicTime.addDays(-1));
    else if (change == u"additional newer"_s)
        setModified(env.path(kExtended), QFileInfo(env.path(kExtended)).lastModified().addSecs(2));
    else if (change.startsWith(u"time="_s))
        QVERIFY(TIniFile(env.path(kRecord)).writeString(u"FILES"_s, u"DATE_FILENAMEBASICHELP"_s, change.mid(5)));
    else if (change == u"no record"_s)
        QVERIFY(QFile::remove(env.path(kRecord)));

    QVERIFY(help.PrepareHelp());
    QCOMPARE(QFile::exists(env.path(kBasicPage)), basicAgain);
    QCOMPARE(QFile::exists(env.path(kExtendedPage)), additionalAgain);
    if (change == u"letter"_s) {
        QVERIFY(readAll(env.path(kBasicPage)).contains(u"lang=\"en\""_s));
        QCOMPARE(record.readString(u"FILES"_s, u"FILENAMEBASICHELP"_s), u"basic_E.ohlp"_s);
    }
    QVERIFY(dialogs.messages().isEmpty());
}

void TestOnlineHelp::unchangedArchiveIsNotUnpackedAgain()
{
    // The recorded text is cut to 15 digits; however the archive time falls,
    // reading it back must not make the unchanged archive look newer.
    TestEnvironment env;
    ScriptedDialogs dialogs;
    TFWOnlineHelp help;
    configure(help, env);
    help.setFileNameAdditional(QString());
    const QDateTime start(QDate(2023, 3, 14), QTime(15, 9, 27, 123));
    for (int i = 0; i < 12; ++i) {
        const QDateTime time = start.addSecs(i * 7919 + i * i * 86400 * 3);
        setModified(env.path(kBasicD), time);
        wipeUnpacked(env, false);
        QVERIFY(help.PrepareHelp());
        QVERIFY(QFile::exists(env.path(kBasicPage)));
        wipeUnpacked(env, true);
        QVERIFY(help.PrepareHelp());
        QVERIFY2(!QFile::exists(env.path(kBasicPage)), qPrintable(time.toString(Qt::ISODateWithMs)));
    }
}

void TestOnlineHelp::dayCountText_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");

    const QDate day(2000, 2, 12);
    QTest::newRow("noon") << u"C"_s << QDateTime(day, QTime(12, 0)) << u"36568.5"_s;
    QTest::newRow("odd second cut to two") << u"C"_s << QDateTime(day, QTime(12, 0, 1, 900)) << u"36568.5"_s;
    QTest::newRow("German separator") << u"de_DE"_s << QDateTime(day, QTime(18, 0)) << u"36568,75"_s;
    QTest::newRow("epoch morning") << u"C"_s << QDateTime(QDate(1899, 12, 30), QTime(6, 0)) << u"0.25"_s;
}

void TestOnlineHelp::dayCountText()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const double days = TFWOnlineHelp::dayCount(time);
    const QString written = TFWOnlineHelp::dayCountText(days);
    const double readBack = TFWOnlineHelp::dayCountFromText(written);
    QLocale::setDefault(before);
    QCOMPARE(written, text);
    QCOMPARE(readBack, days);
}

void TestOnlineHelp::emptyLibraryPathUnpacksNothing()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    wipeUnpacked(env, false);
    TFWOnlineHelp help;
    configure(help, env, u"E"_s);
    help.setPathToUnzipLibrary(QString());

    QVERIFY(help.PrepareHelp());
    QVERIFY(!QFile::exists(env.path(kBasicPage)));
    QCOMPARE(TIniFile(env.path(kRecord)).readString(u"FILES"_s, u"FILENAMEBASICHELP"_s), u"basic_E.ohlp"_s);

    // The missing page is reported and the record goes, so a later run with
    // a library unpacks everything.
    QVERIFY(!help.ShowPage(u"index.htm"_s));
    QCOMPARE(dialogs.texts(), QStringList{u"Page not available!"_s});
    QVERIFY(!QFile::exists(env.path(kRecord)));
    QVERIFY(!help.helpWindow());

    help.setPathToUnzipLibrary(env.path(u"system"_s));
    QVERIFY(help.ShowPage(u"index.htm"_s));
    QVERIFY(QFile::exists(env.path(kExtendedPage)));
    QCOMPARE(dialogs.messages().size(), 1);
}

void TestOnlineHelp::preparation_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("ready");

    QTest::newRow("compressed path empty") << u"compressed="_s << false;
    QTest::newRow("compressed folder missing") << u"compressed=nowhere"_s << false;
    QTest::newRow("unpacked path empty") << u"unpacked="_s << false;
    QTest::newRow("unpacked folder created") << u"unpacked=fresh"_s << true;
    QTest::newRow("unpacked folder two levels missing") << u"unpacked=fresh/deeper"_s << false;
    QTest::newRow("damaged basic archive") << u"damaged"_s << false;
    QTest::newRow("no archive present") << u"no archives"_s << true;
}

void TestOnlineHelp::preparation()
{
    QFETCH(QString, setup);
    QFETCH(bool, ready);
    TestEnvironment env;
    ScriptedDialogs dialogs;
    wipeUnpacked(env, false);
    TFWOnlineHelp help;
    configure(help, env, u"E"_s);
    QString unpacked = env.path(u"help"_s);

    if (setup == u"compressed="_s)
        help.setPathToCompressedHelp(QString());
    else if (setup == u"compressed=nowhere"_s)
        help.setPathToCompressedHelp(env.path(u"nowhere"_s));
    else if (setup.startsWith(u"unpacked="_s))
        help.setPathToUncompressedHelp(unpacked = setup.mid(9).isEmpty() ? QString() : env.path(setup.mid(9)));
    else if (setup == u"damaged"_s) {
        QFile archive(env.path(kBasicE));
        QVERIFY(archive.open(QIODevice::WriteOnly | QIODevice::Truncate));
        archive.write("PK\x03\x04 this is no archive");
    } else if (setup == u"no archives"_s) {
        for (const QString& name : {kBasicD, kBasicE, kExtended})
            QVERIFY(QFile::remove(env.path(name)));
    }

    QCOMPARE(help.PrepareHelp(), ready);
    if (setup == u"unpacked=fresh"_s)
        QVERIFY(QFile::exists(env.path(u"fresh/index.htm"_s)));
    if (setup == u"damaged"_s)
        QVERIFY(!QFile::exists(env.path(kRecord)));

    dialogs.clear();
    const bool shown = help.ShowPage(u"index.htm"_s);
    if (!ready) {
        QVERIFY(!shown);
        QCOMPARE(dialogs.messages().last().text, u"Error while preparing Online-Help!"_s);
        QCOMPARE(dialogs.messages().last().kind, Dialogs::Kind::Error);
        QCOMPARE(dialogs.messages().last().buttons, Dialogs::Buttons(Dialogs::Ok));
        QVERIFY(!help.helpWindow());
    }
}

void TestOnlineHelp::contextMessages_data()
{
    QTest::addColumn<QString>("letter");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("message");

    QTest::newRow("index missing, German")
        << u"D"_s << u"no index"_s << 3 << u"Die Hilfe-Indexdatei wurde nicht gefunden!"_s;
    QTest::newRow("index missing, English") << u"E"_s << u"no index"_s << 3 << u"Help-Index not found!"_s;
    QTest::newRow("index cannot be opened, German")
        << u"D"_s << u"index is a folder"_s << 3 << u"Die Hilfe-Indexdatei konnte nicht geöffnet werden!"_s;
    QTest::newRow("index cannot be opened, English")
        << u"E"_s << u"index is a folder"_s << 3 << u"Could not open help-Index!"_s;
    QTest::newRow("number not listed, German")
        << u"D"_s << QString() << 106 << u"Der angeforderte Hilfe-Index existiert nicht!"_s;
    QTest::newRow("number not listed, English") << u"E"_s << QString() << -1 << u"Requested help-index not found!"_s;
    QTest::newRow("listed page missing, German")
        << u"D"_s << u"page gone"_s << 3 << u"Diese Hilfe-Seite ist nicht verfügbar!"_s;
}

void TestOnlineHelp::contextMessages()
{
    QFETCH(QString, letter);
    QFETCH(QString, setup);
    QFETCH(int, number);
    QFETCH(QString, message);
    TestEnvironment env;
    ScriptedDialogs dialogs;
    TFWOnlineHelp help;
    configure(help, env, letter);
    const QString index = env.path(u"help/source/HelpIndex.ini"_s);
    if (setup == u"no index"_s) {
        QVERIFY(QFile::remove(index));
    } else if (setup == u"index is a folder"_s) {
        QVERIFY(QFile::remove(index));
        QVERIFY(QDir().mkdir(index));
    } else if (setup == u"page gone"_s) {
        QVERIFY(TIniFile(index).writeString(u"INDEX"_s, QString::number(number), u"gone.htm"_s));
    }

    QVERIFY(!help.ShowContext(number));
    QCOMPARE(dialogs.messages().size(), 1);
    QCOMPARE(dialogs.messages().constFirst().text, message);
    QCOMPARE(dialogs.messages().constFirst().kind, Dialogs::Kind::Error);
    QCOMPARE(dialogs.messages().constFirst().buttons, Dialogs::Buttons(Dialogs::Ok));
    QVERIFY(!help.helpWindow());
}

void TestOnlineHelp::windowIsReusedAndKeepsItsState()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    TFWOnlineHelp help;
    configure(help, env, u"D"_s);

    QVERIFY(help.ShowContext(3));
    TFWOnlineHelpDialog* window = help.helpWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(!window->isModal());
    QCOMPARE(shownFile(help), env.path(u"help/examine.htm"_s));
    QCOMPARE(window->windowTitle(), u"Hilfe"_s);
    QCOMPARE(window->SpeedClose()->text(), u"Schließen"_s);

    window->resize(500, 300);
    help.setLanguageCodeLetter(u"E"_s);
    QVERIFY(help.ShowContext(0));
    QCOMPARE(help.helpWindow(), window);
    QCOMPARE(shownFile(help), env.path(u"help/settings.htm"_s));
    QCOMPARE(window->size(), QSize(500, 300));
    QCOMPARE(window->windowTitle(), u"Hilfe"_s);
    QVERIFY(dialogs.messages().isEmpty());
}

void TestOnlineHelp::windowGeometryRoundTrip()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    TFWOnlineHelp help;
    configure(help, env, u"E"_s);
    help.setContentsPage(QString());

    // No key yet: the designed size, the English captions, no Contents button.
    QVERIFY(help.ShowPage(u"index.htm"_s));
    QPointer<TFWOnlineHelpDialog> window = help.helpWindow();
    QCOMPARE(window->size(), QSize(750, 500));
    QCOMPARE(window->windowTitle(), u"Help"_s);
    QCOMPARE(window->SpeedBack()->text(), u"Back"_s);
    QCOMPARE(window->SpeedForward()->accessibleName(), u"Forward"_s);
    QVERIFY(window->SpeedContents()->isHidden());
    QCOMPARE(window->URLLabel1()->toolTip(), TFWOnlineHelp::MakerAddress);

    window->setGeometry(QRect(40, 50, 600, 400));
    const QPoint position = window->pos();
    window->close();
    QVERIFY(!help.helpWindow());
    QTRY_VERIFY(!window);
    {
        QSettings stored(env.settingsFile(), QSettings::IniFormat);
        QCOMPARE(stored.value(kWindowGroup + u"Status"_s).toString(), u"0"_s);
        QCOMPARE(stored.value(kWindowGroup + u"Width"_s).toString(), u"600"_s);
        QCOMPARE(stored.value(kWindowGroup + u"Height"_s).toString(), u"400"_s);
        QCOMPARE(stored.value(kWindowGroup + u"X"_s).toString(), QString::number(position.x()));
    }

    QVERIFY(help.ShowPage(u"index.htm"_s));
    window = help.helpWindow();
    QCOMPARE(window->size(), QSize(600, 400));
    QCOMPARE(window->pos(), position);

    // Closed maximised: only the state is stored, the normal geometry stays.
    window->showMaximized();
    QTRY_VERIFY(window->isMaximized());
    window->close();
    QTRY_VERIFY(!window);
    {
        QSettings stored(env.settingsFile(), QSettings::IniFormat);
        QCOMPARE(stored.value(kWindowGroup + u"Status"_s).toString(), u"1"_s);
        QCOMPARE(stored.value(kWindowGroup + u"Width"_s).toString(), u"600"_s);
        // Broken values count as absent.
        stored.setValue(kWindowGroup + u"Height"_s, u"hoch"_s);
    }
    QVERIFY(help.ShowPage(u"index.htm"_s));
    window = help.helpWindow();
    QVERIFY(window->isMaximized());
    window->showNormal();
    QTRY_VERIFY(!window->isMaximized());
    QCOMPARE(window->width(), 600);
    QCOMPARE(window->height(), 500);
    QVERIFY(dialogs.messages().isEmpty());
}

void TestOnlineHelp::navigationButtons()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    TFWOnlineHelp help;
    configure(help, env, u"D"_s);

    QVERIFY(help.ShowContext(1));
    QPointer<TFWOnlineHelpDialog> window = help.helpWindow();
    QVERIFY(window->SpeedContents()->isVisible());
    QTextBrowser* browser = window->WebBrowser();

    // Nothing to go back to yet: no message, no change.
    QTest::mouseClick(window->SpeedBack(), Qt::LeftButton);
    QCOMPARE(shownFile(help), env.path(u"help/editlists.htm"_s));

    QTest::mouseClick(window->SpeedContents(), Qt::LeftButton);
    QCOMPARE(shownFile(help), env.path(u"help/index.htm"_s));
    clickLink(browser, u"Das Protokoll"_s);
    QCOMPARE(shownFile(help), env.path(u"help/log.htm"_s));
    QTest::mouseClick(window->SpeedBack(), Qt::LeftButton);
    QCOMPARE(shownFile(help), env.path(u"help/index.htm"_s));
    QTest::mouseClick(window->SpeedBack(), Qt::LeftButton);
    QCOMPARE(shownFile(help), env.path(u"help/editlists.htm"_s));
    QTest::mouseClick(window->SpeedForward(), Qt::LeftButton);
    QTest::mouseClick(window->SpeedForward(), Qt::LeftButton);
    QCOMPARE(shownFile(help), env.path(u"help/log.htm"_s));
    QTest::mouseClick(window->SpeedForward(), Qt::LeftButton);
    QCOMPARE(shownFile(help), env.path(u"help/log.htm"_s));

    QTest::mouseClick(window->SpeedClose(), Qt::LeftButton);
    QVERIFY(!help.helpWindow());
    QTRY_VERIFY(!window);
    QVERIFY(dialogs.messages().isEmpty());
}

void TestOnlineHelp::outsideLinksLeaveTheHelp()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    LinkRecorder outside;
    for (const QString& scheme : {u"http"_s, u"https"_s, u"mailto"_s})
        QDesktopServices::setUrlHandler(scheme, &outside, "open");
    TFWOnlineHelp help;
    configure(help, env, u"D"_s);

    QVERIFY(help.ShowContext(101));
    QTextBrowser* browser = help.helpWindow()->WebBrowser();
    const QString page = env.path(u"help/extra/address.htm"_s);
    QCOMPARE(shownFile(help), page);

    clickLink(browser, u"postrella@fernwick.example"_s);
    clickLink(browser, u"https://www.fernwick.example"_s);
    QCOMPARE(outside.urls,
             (QList<QUrl>{QUrl(u"mailto:postrella@fernwick.example"_s), QUrl(u"https://www.fernwick.example"_s)}));
    QCOMPARE(shownFile(help), page);

    // Links inside the help, also up out of the subfolder, stay inside.
    clickLink(browser, u"Zurück zum Inhalt"_s);
    QCOMPARE(shownFile(help), env.path(u"help/index.htm"_s));

    QLabel* label = help.helpWindow()->URLLabel1();
    QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center());
    QCOMPARE(outside.urls.size(), 3);
    QCOMPARE(outside.urls.last(), QUrl(TFWOnlineHelp::MakerAddress));

    for (const QString& scheme : {u"http"_s, u"https"_s, u"mailto"_s})
        QDesktopServices::unsetUrlHandler(scheme);
}

void TestOnlineHelp::helpButtonOfMessageBoxOpensContext()
{
    TestEnvironment env;
    // Real boxes here: the Help button itself goes through the application help hook.
    int helpClicks = 0;
    QTimer clicker;
    connect(&clicker, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::HelpRole && helpClicks == 0) {
                ++helpClicks;
                button->click();
                return;
            }
        }
        box->button(QMessageBox::Ok)->click();
    });
    clicker.start(10);

    {
        TFWOnlineHelp help;
        configure(help, env, u"D"_s);
        bool callHelp = true;
        QVERIFY(help.ApplicationHelp(1, 2, callHelp));
        QVERIFY(!callHelp);
        help.helpWindow()->close();

        QCOMPARE(Dialogs::message(Dialogs::Kind::Error, u"Noch nicht möglich"_s, Dialogs::Ok | Dialogs::Help, 4),
                 Dialogs::Ok);
        QCOMPARE(helpClicks, 1);
        QVERIFY(help.helpWindow());
        QCOMPARE(shownFile(help), env.path(u"help/trouble.htm"_s));
    }
    // With the help gone the button does nothing, and nothing breaks.
    helpClicks = 0;
    QCOMPARE(Dialogs::message(Dialogs::Kind::Error, u"Noch nicht möglich"_s, Dialogs::Ok | Dialogs::Help, 2),
             Dialogs::Ok);
    QCOMPARE(helpClicks, 1);
}

void TestOnlineHelp::shippedHelpResolvesEveryContext_data()
{
    QTest::addColumn<QString>("letter");
    QTest::newRow("German") << u"D"_s;
    QTest::newRow("English") << u"E"_s;
}

void TestOnlineHelp::shippedHelpResolvesEveryContext()
{
    QFETCH(QString, letter);
    TestEnvironment env;
    ScriptedDialogs dialogs;
    wipeUnpacked(env, false);
    TFWOnlineHelp help;
    configure(help, env, letter);
    QVERIFY(help.PrepareHelp());

    const TIniFile index(env.path(u"help/source/HelpIndex.ini"_s));
    for (const int context : {0, 1, 2, 3, 4, 100, 101, 102, 103, 104, 105, 107}) {
        const QString page = index.readString(u"INDEX"_s, QString::number(context));
        QVERIFY2(!page.isEmpty() && QFile::exists(env.path(u"help/"_s + page)), qPrintable(QString::number(context)));
        QVERIFY(help.ShowContext(context));
    }
    QVERIFY(help.ShowPage(u"index.htm"_s));
    QVERIFY(readAll(env.path(kBasicPage)).contains(letter == u"D"_s ? u"lang=\"de\""_s : u"lang=\"en\""_s));

    // Every link between the pages leads to a page that is there.
    static const QRegularExpression href(u"href=\"([^\"]+)\""_s);
    QDirIterator pages(env.path(u"help"_s), {u"*.htm"_s}, QDir::Files, QDirIterator::Subdirectories);
    int count = 0;
    while (pages.hasNext()) {
        const QFileInfo page(pages.next());
        ++count;
        for (const auto& match : href.globalMatch(readAll(page.filePath()))) {
            const QUrl target(match.captured(1));
            if (!target.scheme().isEmpty())
                continue;
            QVERIFY2(QFile::exists(page.dir().filePath(target.path())),
                     qPrintable(page.fileName() + u" -> "_s + match.captured(1)));
        }
    }
    QCOMPARE(count, 17);
    QVERIFY(dialogs.messages().isEmpty());
}

void TestOnlineHelp::propertiesAndComponentInfo()
{
    TestEnvironment env;
    TFWOnlineHelp help;
    QCOMPARE(help.LanguageCodeLetter(), u"E"_s);
    QCOMPARE(help.ContentsPage(), u"index.htm"_s);
    QCOMPARE(help.LanguageFileName(u"basic.ohlp"_s), u"basic_E.ohlp"_s);
    help.setLanguageCodeLetter(u"d"_s);
    QCOMPARE(help.LanguageFileName(u"basic.help.zip"_s), u"basic_D.help.zip"_s);
    QCOMPARE(help.LanguageFileName(u"basic"_s), u"basic_D"_s);

    help.setRegistryKey(u"Software\\Fernwick\\FW-Postrella\\OnlineHelp\\"_s);
    QCOMPARE(help.RegistryKey(), u"Software\\Fernwick\\FW-Postrella\\OnlineHelp\\OnlineHelp"_s);
    help.setPathToCompressedHelp(u"/opt/postrella/help/source/"_s);
    QCOMPARE(help.PathToCompressedHelp(), u"/opt/postrella/help/source"_s);
    help.setPathToUncompressedHelp(u"C:\\Postrella\\help\\"_s);
    QCOMPARE(help.PathToUncompressedHelp(), u"C:\\Postrella\\help"_s);

    help.setCIVersion(u"9.99"_s);
    help.setCILastCompile(u"01.01.2030"_s);
    help.WriteComponentInfo(u"Software\\Fernwick\\FW-Postrella\\"_s);
    SettingsStore store;
    const QString key = u"Software\\Fernwick\\FW-Postrella\\CI\\TFWOnlineHelp"_s;
    QCOMPARE(store.readString(key, u"Company"_s), u"Fernwick"_s);
    QCOMPARE(store.readString(key, u"Version"_s), u"1.02"_s);
    QCOMPARE(store.readString(key, u"Last Change"_s), u"12.02.2000"_s);
}

QTEST_MAIN(TestOnlineHelp)
#include "tst_onlinehelp.moc"
