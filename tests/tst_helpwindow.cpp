#include "FWOnlineHelpDialog.h"
#include "FWOnlineHelpUnit.h"
#include "IniFile.h"
#include "OnlineHelpSetup.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QString kWindowGroup = u"OnlineHelp/OnlineHelp/HelpWindow/"_s;

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

// The help as the user meets it: a context looked up, the window, its
// buttons and the links on its pages.
class TestHelpWindow : public QObject
{
    Q_OBJECT

private slots:
    void contextMessages_data();
    void contextMessages();
    void windowIsReusedAndKeepsItsState();
    void windowGeometryRoundTrip();
    void navigationButtons();
    void outsideLinksLeaveTheHelp();
    void helpButtonOfMessageBoxOpensContext();
};

void TestHelpWindow::contextMessages_data()
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

void TestHelpWindow::contextMessages()
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

void TestHelpWindow::windowIsReusedAndKeepsItsState()
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

void TestHelpWindow::windowGeometryRoundTrip()
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

void TestHelpWindow::navigationButtons()
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

void TestHelpWindow::outsideLinksLeaveTheHelp()
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

void TestHelpWindow::helpButtonOfMessageBoxOpensContext()
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

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
