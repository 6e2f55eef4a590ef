#include "FWLanguageUnit.h"
#include "FWOnlineHelpDialog.h"
#include "FWOnlineHelpUnit.h"
#include "FWStartScreenForm.h"
#include "FWStartScreenUnit.h"
#include "LED.h"
#include "ModelGrid.h"
#include "PasswordKeeper.h"
#include "ProgramWindows.h"
#include "ScrollingText.h"
#include "SettingsStore.h"
#include "SingleInstance.h"
#include "StringGrid.h"
#include "TestFiles.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

void writeStore(const QList<std::tuple<QString, QString, QString>>& values)
{
    SettingsStore store;
    for (const auto& [section, name, value] : values)
        store.writeString(section, name, value);
}

QString stored(const QString& section, const QString& name)
{
    return SettingsStore().readString(section, name).value_or(u"<none>"_s);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void firstStartOpensAtDefaultsAndClosingStoresEverything();
    void storedWindowState_data();
    void storedWindowState();
    void captionsComeFromTheLanguageFile();
    void otherWindowsFollowTheFirstFrame();
    void toolbarButtonsShowTheirPictures();
    void missingLanguageFileLeavesCaptionsEmpty();
    void accountListShowsNamedSlotsInOrder();
    void maximisedWindowKeepsItsNormalPlace();
    void mailProgramWithoutExtensionCanBeChosen();
    void topLevelWindowsAreWindowsToAssistiveTechnology();
    void wizardFinishStoresSlotOne();
    void wizardRefusesBadPortBeforeStoringAnything();
    void wizardOAuth2AccountKeepsNoPassword();
    void wizardCancelChangesNothing();
    void mailProgramStartsOrComplains();
    void secondInstanceIsRefused();
};

void TestMainWindow::firstStartOpensAtDefaultsAndClosingStoresEverything()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    {
        ProgramWindows w;
        TStammForm& f = w.StammForm;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.pos(), QPoint(25, 25));
        QCOMPARE(f.size(), QSize(490, 330));
        QVERIFY(!f.isMaximized());
        QCOMPARE(f.windowTitle(), u"Postrella"_s);
        QCOMPARE(f.Tabelle->Cells(3, 0), u"KByte"_s);
        QCOMPARE(f.Tabelle->Cells(1, 0), u"ID"_s);
        QCOMPARE(f.Tabelle->RowCount(), 1); // the header alone: no message is listed
        QCOMPARE(f.Konten->count(), 0);
        QVERIFY(f.PFirst->isVisible());
        QCOMPARE(f.LAnzahl->text(), u"0"_s);
        QVERIFY(dialogs.messages().isEmpty());
        f.close();
    }
    QCOMPARE(stored(u"Programm"_s, u"First"_s), u"0"_s);
    QCOMPARE(stored(u"Programm"_s, u"Passwort_Sichern"_s), u"0"_s);
    QCOMPARE(stored(u"Programm"_s, u"Sprache"_s), u"deutsch.lng"_s);
    QCOMPARE(stored(u"Programm"_s, u"FensterLeft"_s), u"25"_s);
    QCOMPARE(stored(u"Programm"_s, u"FensterWidth"_s), u"490"_s);
    QCOMPARE(stored(u"Programm"_s, u"FensterStatus"_s), u"1"_s);
    QCOMPARE(stored(u"eMail"_s, u"Konto25"_s), QString());
    QCOMPARE(stored(u"eMail"_s, u"Port1"_s), u"110"_s);
    QCOMPARE(stored(u"eMail"_s, u"Passwort1"_s), u"<none>"_s);
    // The component records are written at start.
    QCOMPARE(stored(u"CI\\TFWLanguage"_s, u"Version"_s), u"1.05"_s);
    QCOMPARE(stored(u"CI\\TFWPassword"_s, u"Company"_s), u"Fernwick"_s);

    // The wizard is offered once only.
    ProgramWindows again;
    again.StammForm.show();
    QVERIFY(!again.StammForm.PFirst || !again.StammForm.PFirst->isVisible());
}

void TestMainWindow::storedWindowState_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("top");
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<int>("expectedTop");
    QTest::newRow("2 maximises") << u"2"_s << u"40"_s << true << 40;
    QTest::newRow("0 leaves it normal") << u"0"_s << u"40"_s << false << 40;
    QTest::newRow("7 leaves it normal") << u"7"_s << u"40"_s << false << 40;
    QTest::newRow("letters in the top give 25") << u"1"_s << u"oben"_s << false << 25;
}

void TestMainWindow::storedWindowState()
{
    QFETCH(QString, status);
    QFETCH(QString, top);
    QFETCH(bool, maximised);
    QFETCH(int, expectedTop);
    TestEnvironment env;
    ScriptedDialogs dialogs;
    writeStore({{u"Programm"_s, u"FensterStatus"_s, status},
                {u"Programm"_s, u"FensterTop"_s, top},
                {u"Programm"_s, u"First"_s, u"0"_s}});
    ProgramWindows w;
    QCOMPARE(w.StammForm.isMaximized(), maximised);
    QCOMPARE(w.state.FensterTop, expectedTop);
    if (!maximised)
        QCOMPARE(w.StammForm.pos().y(), expectedTop);
}

void TestMainWindow::captionsComeFromTheLanguageFile()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    ProgramWindows w;
    TStammForm& f = w.StammForm;
    f.show();
    const TFWLanguage& lang = *f.FWLanguage1;
    QVERIFY(!lang.GetText(8).isEmpty());
    QCOMPARE(f.SBCheck->text(), lang.GetText(8));
    QCOMPARE(f.Check1->text(), lang.GetText(8));
    QCOMPARE(f.LEDCheck->Caption(), lang.GetText(8));
    QCOMPARE(f.Help1->title(), lang.GetText(58));
    QCOMPARE(f.Tabelle->Cells(4, 0), lang.GetText(18));
    QCOMPARE(f.Tabelle->Cells(5, 0), lang.GetText(17));
    QCOMPARE(f.Conncet1->text(), u"Conncet"_s);
    QCOMPARE(f.Disconnect1->text(), u"Disconnect"_s);
    QVERIFY(!f.Conncet1->isEnabled());
    QVERIFY(!f.Awards1->isEnabled());
    QCOMPARE(w.SetupForm->findChild<QPushButton*>(u"SBestaetigen"_s)->text(), lang.GetText(1));
    QVERIFY(dialogs.messages().isEmpty());
    f.Setup1->trigger();
    QVERIFY(w.SetupForm->isVisible());
    f.Protokoll1->trigger();
    QVERIFY(w.BerichtForm->isVisible());
}

// As the program starts: only the main window is built before it is shown.
// The others follow its first frame, with their texts, and the log window
// holds what was logged before it existed. One needed sooner is built at once.
void TestMainWindow::otherWindowsFollowTheFirstFrame()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    {
        ProgramWindows w(ProgramWindows::Others::AfterFirstFrame);
        QVERIFY(!w.ExamineForm && !w.SetupForm && !w.BerichtForm);
        w.StammForm.Passwords().Log(u"vor dem Fenster"_s);
        w.StammForm.show();
        QTRY_VERIFY(w.BerichtForm);
        QCOMPARE(w.BerichtForm->lines(), QStringList{u"vor dem Fenster"_s});
        // A caption that only the language file gives.
        const QString hints = w.StammForm.FWLanguage1->GetText(64);
        QVERIFY(!hints.isEmpty());
        QCOMPARE(w.SetupForm->CBHints->text(), hints);
        QVERIFY(w.ExamineForm && !w.SetupForm->isVisible());
    }
    {
        ProgramWindows w(ProgramWindows::Others::AfterFirstFrame);
        w.StammForm.Protokoll1->trigger();
        QVERIFY(w.BerichtForm && w.BerichtForm->isVisible());
    }
    QVERIFY(dialogs.messages().isEmpty());
}

void TestMainWindow::toolbarButtonsShowTheirPictures()
{
    // The pictures live in a static library's resources: left unregistered,
    // every button would be blank without any error.
    TestEnvironment env;
    ScriptedDialogs dialogs;
    ProgramWindows w;
    TStammForm& f = w.StammForm;
    for (QToolButton* button : {f.SBClose, f.SBCheck, f.SBExamine, f.SBCheck_All, f.SBDelete, f.SBHilfe, f.SBeMail}) {
        QVERIFY2(!button->icon().pixmap(QSize(16, 16)).isNull(), qPrintable(button->objectName()));
        QVERIFY(button->icon().availableSizes().contains(QSize(16, 16)));
    }
    // Qt adds the @2x pictures on a screen that scales by two.
    const QStringList pictures = QDir(u":/toolbar"_s).entryList();
    QCOMPARE(pictures.size(), 14);
    for (const QString& picture : pictures) {
        if (!picture.endsWith(u"@2x.png"_s))
            QVERIFY2(pictures.contains(picture.chopped(4) + u"@2x.png"_s), qPrintable(picture));
    }
}

void TestMainWindow::missingLanguageFileLeavesCaptionsEmpty()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    QVERIFY(QFile::remove(env.path(u"language/deutsch.lng"_s)));
    ProgramWindows w;
    TStammForm& f = w.StammForm;
    f.show();
    QCOMPARE(dialogs.texts(), QStringList{u"Sprachdatei nicht gefunden !"_s});
    QCOMPARE(f.SBCheck->text(), QString());
    QCOMPARE(f.File1->title(), QString());
    QCOMPARE(f.Tabelle->Cells(4, 0), QString());
    QCOMPARE(f.Software1->text(), u"Software"_s);
}

void TestMainWindow::accountListShowsNamedSlotsInOrder()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    writeStore({{u"eMail"_s, u"Konto7"_s, u"Sieben"_s}, {u"eMail"_s, u"Konto3"_s, u"Drei"_s}});
    ProgramWindows w;
    QCOMPARE(w.StammForm.Konten->count(), 2);
    QCOMPARE(w.StammForm.Konten->itemText(0), u"Drei"_s);
    QCOMPARE(w.StammForm.Konten->itemText(1), u"Sieben"_s);
    QCOMPARE(w.StammForm.Konten->currentText(), QString()); // slot 1 has no name
}

void TestMainWindow::maximisedWindowKeepsItsNormalPlace()
{
    TestEnvironment env;
    writeStore({{u"Programm"_s, u"First"_s, u"0"_s}, {u"Programm"_s, u"Startschirm"_s, u"0"_s}});
    {
        ProgramWindows w;
        TStammForm& f = w.StammForm;
        f.setWindowState(Qt::WindowNoState);
        f.show();
        f.move(130, 70);
        f.resize(600, 400);
        QTRY_COMPARE(f.pos(), QPoint(130, 70));
        f.showMaximized();
        QTRY_VERIFY(f.isMaximized() && f.width() > 600);
        f.close();
    }
    QCOMPARE(stored(u"Programm"_s, u"FensterStatus"_s), u"2"_s);
    QCOMPARE(stored(u"Programm"_s, u"FensterLeft"_s), u"130"_s);
    QCOMPARE(stored(u"Programm"_s, u"FensterTop"_s), u"70"_s);
    QCOMPARE(stored(u"Programm"_s, u"FensterWidth"_s), u"600"_s);

    // Un-maximised after the restart, it is back where it was.
    ProgramWindows again;
    again.StammForm.show();
    QVERIFY(again.StammForm.isMaximized());
    again.StammForm.showNormal();
    QTRY_COMPARE(again.StammForm.pos(), QPoint(130, 70));
}

void TestMainWindow::mailProgramWithoutExtensionCanBeChosen()
{
    // Chosen through the real file dialog: a name without extension must be
    // stored exactly, and the e-mail button must start it.
    TestEnvironment env;
    ScriptedDialogs dialogs;
    Dialogs::setFileAnswerer({});
    const QString marker = env.path(u"started"_s);
    const QString mailer = env.path(u"mailer"_s);
    writeFile(mailer, "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\n");
    QFile::setPermissions(mailer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ProgramWindows w;
    w.StammForm.show();
    w.SetupForm->show();

    bool answered = false;
    QTimer::singleShot(0, w.SetupForm.get(), [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->selectFile(mailer);
        answered = true;
        QVERIFY(QMetaObject::invokeMethod(dialog, "accept"));
    });
    // A dialog left open (a refusal, a box) would block the test for ever.
    QTimer::singleShot(5000, w.SetupForm.get(), [] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* open = qobject_cast<QDialog*>(top); open && open->isVisible())
                open->reject();
        }
    });
    QTest::mouseClick(w.SetupForm->FBPfad, Qt::LeftButton);
    QVERIFY(answered);
    QCOMPARE(w.state.Client, mailer);
    QCOMPARE(w.SetupForm->FEProgramm->text(), mailer);

    QTest::mouseClick(w.StammForm.SBeMail, Qt::LeftButton);
    QTRY_VERIFY(QFile::exists(marker));
    QVERIFY(dialogs.messages().isEmpty());
}

void TestMainWindow::topLevelWindowsAreWindowsToAssistiveTechnology()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    writeStore({{u"Programm"_s, u"First"_s, u"0"_s}, {u"Programm"_s, u"Startschirm"_s, u"0"_s}});
    ProgramWindows w;
    w.StammForm.show();
    w.StammForm.Hilfe1->trigger();
    w.StammForm.FWStartScreenA1->ShowStartScreen();
    const QList<QWidget*> windows = {&w.StammForm,
                                     w.ExamineForm.get(),
                                     w.SetupForm.get(),
                                     w.BerichtForm.get(),
                                     w.StammForm.FWOnlineHelp1->helpWindow(),
                                     w.StammForm.FWStartScreenA1->Form()};
    for (QWidget* window : windows) {
        QVERIFY(window);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(window);
        QVERIFY(iface);
        const QAccessible::Role role = iface->role();
        QVERIFY2(role == QAccessible::Window || role == QAccessible::Dialog,
                 qPrintable(window->objectName() + u": role "_s + QString::number(role)));
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(w.SetupForm.get())->role(), QAccessible::Dialog);
    QCOMPARE(QAccessible::queryAccessibleInterface(w.BerichtForm.get())->role(), QAccessible::Window);
}

void TestMainWindow::wizardFinishStoresSlotOne()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    {
        ProgramWindows w;
        TStammForm& f = w.StammForm;
        f.show();
        QVERIFY(f.PFirst->isVisible());
        QTest::keyClicks(f.EKonto, u"Privat"_s);
        // Secured from the start; the port follows the choice until the user types one.
        QCOMPARE(f.CBSicherheit->currentText(), u"SSL/TLS"_s);
        QCOMPARE(f.EPort->text(), u"995"_s);
        f.CBSicherheit->setCurrentText(u"STARTTLS"_s);
        QCOMPARE(f.EPort->text(), u"110"_s);
        f.EPort->clear();
        QTest::keyClicks(f.EPort, u"1110"_s);
        f.CBSicherheit->setCurrentText(u"SSL/TLS"_s);
        QCOMPARE(f.EPort->text(), u"1110"_s);
        f.EPort->clear();
        QTest::keyClicks(f.EPort, u"995"_s);
        QTest::mouseClick(f.PFirst->findChild<QToolButton*>(u"SpeedButton2"_s), Qt::LeftButton);
        QCOMPARE(f.PFirstPages->currentWidget(), f.PFirst_Two);
        QTest::keyClicks(f.EHost, u"pop.example.org"_s);
        QTest::keyClicks(f.EUser, u"anna"_s);
        QTest::keyClicks(f.EPasswort, u"geheim"_s);
        f.CBPasswort->click();
        QTest::mouseClick(f.PFirst->findChild<QToolButton*>(u"SpeedButton3"_s), Qt::LeftButton);
        QVERIFY(!f.PFirst->isVisible());
        QCOMPARE(f.Konten->currentText(), u"Privat"_s);
        QCOMPARE(w.state.Port[1], 995);
        f.close();
    }
    QCOMPARE(stored(u"eMail"_s, u"Konto1"_s), u"Privat"_s);
    QCOMPARE(stored(u"eMail"_s, u"Sicherheit1"_s), u"SSL/TLS"_s);
    QCOMPARE(stored(u"eMail"_s, u"Zertifikat1"_s), QString());
    QCOMPARE(stored(u"eMail"_s, u"Host1"_s), u"pop.example.org"_s);
    QCOMPARE(stored(u"eMail"_s, u"UserID1"_s), u"anna"_s);
    QCOMPARE(stored(u"Programm"_s, u"Passwort_Sichern"_s), u"1"_s);
    // The kept password is in the secret store, named so the user knows it, and not in the file.
    QCOMPARE(env.secrets().entries, (QMap<QString, QString>{{u"Privat (anna@pop.example.org)"_s, u"geheim"_s}}));
    QFile file(env.settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains("geheim"));
}

void TestMainWindow::wizardRefusesBadPortBeforeStoringAnything()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    ProgramWindows w;
    TStammForm& f = w.StammForm;
    f.show();
    QTest::keyClicks(f.EKonto, u"Privat"_s);
    f.EPort->setText(u"11O"_s); // letter O
    f.CBPasswort->setChecked(true);
    QTest::mouseClick(f.PFirst->findChild<QToolButton*>(u"SpeedButton2"_s), Qt::LeftButton);
    QCOMPARE(dialogs.texts(), QStringList{u"'11O' ist kein gültiger Integerwert"_s});
    QCOMPARE(f.PFirstPages->currentWidget(), f.PFirst_One);
    QCOMPARE(w.state.Konto[1], QString());
    QVERIFY(!w.state.Passwort_Sichern);

    // Corrected on the first page, the wizard goes on.
    f.EPort->setText(u"1110"_s);
    QTest::mouseClick(f.PFirst->findChild<QToolButton*>(u"SpeedButton2"_s), Qt::LeftButton);
    QTest::mouseClick(f.PFirst->findChild<QToolButton*>(u"SpeedButton3"_s), Qt::LeftButton);
    QCOMPARE(w.state.Port[1], 1110);
    QCOMPARE(w.state.Konto[1], u"Privat"_s);
}

void TestMainWindow::wizardOAuth2AccountKeepsNoPassword()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    ProgramWindows w;
    TStammForm& f = w.StammForm;
    f.show();
    QTest::keyClicks(f.EKonto, u"Firma"_s);
    QTest::mouseClick(f.PFirst->findChild<QToolButton*>(u"SpeedButton2"_s), Qt::LeftButton);
    QTest::keyClicks(f.EPasswort, u"geheim"_s);
    f.CBPasswort->setChecked(true);
    f.CBAnmeldung->setCurrentText(u"OAuth2"_s);
    QVERIFY(!f.EPasswort->isVisible() && f.EOAuthClient->isVisible() && !f.EOAuthToken->isVisible());
    QTest::mouseClick(f.PFirst->findChild<QToolButton*>(u"SpeedButton3"_s), Qt::LeftButton);
    QVERIFY(w.state.usesOAuth2(1));
    QVERIFY(env.secrets().entries.isEmpty());
}

void TestMainWindow::wizardCancelChangesNothing()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    writeStore({{u"eMail"_s, u"Konto1"_s, u"Alt"_s}});
    ProgramWindows w;
    TStammForm& f = w.StammForm;
    f.show();
    QTest::keyClicks(f.EKonto, u"Neu"_s);
    QTest::mouseClick(f.PFirst->findChild<QToolButton*>(u"SpeedButton1"_s), Qt::LeftButton);
    QVERIFY(!f.PFirst->isVisible());
    QCOMPARE(w.state.Konto[1], u"Alt"_s);
    QVERIFY(!w.state.First);
}

void TestMainWindow::mailProgramStartsOrComplains()
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    const QString failed = u"Ihr eMail Programm konnte nicht gestartet werden\rPrüfen Sie die Einstellungen"_s;
    ProgramWindows w;
    TStammForm& f = w.StammForm;
    f.show();
    QTest::mouseClick(f.SBeMail, Qt::LeftButton);
    w.state.Client = env.path(u"no/such/mailer"_s);
    QTest::mouseClick(f.SBeMail, Qt::LeftButton);
    QCOMPARE(dialogs.texts(), (QStringList{failed, failed}));
    QVERIFY(f.isVisible());

    const QString marker = env.path(u"started"_s);
    const QString script = env.path(u"mailer.sh"_s);
    writeFile(script, "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    w.state.Client = script;
    QTest::mouseClick(f.SBeMail, Qt::LeftButton);
    QVERIFY(!f.isVisible()); // the program ends once the mail program runs
    QTRY_VERIFY(QFile::exists(marker));
    QCOMPARE(dialogs.messages().size(), 2);
}

void TestMainWindow::secondInstanceIsRefused()
{
    QTemporaryDir dir;
    {
        SingleInstance first(dir.path());
        QVERIFY(first.acquire());
        ScriptedDialogs dialogs;
        SingleInstance second(dir.path());
        QVERIFY(!second.acquireOrTell());
        QCOMPARE(dialogs.texts(), QStringList{u"Software is already in use !"_s});
    }
    // A lock left by a run that crashed does not block the next start.
    writeFile(dir.filePath(u"PF998.lock"_s), "999999\nPostrella\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    SingleInstance next(dir.path());
    QVERIFY(next.acquire());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
