#include "GradientText.h"
#include "PasswordKeeper.h"
#include "SetupUn.h"
#include "SprachenUn.h"
#include "StringGrid.h"
#include "TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

struct Calls
{
    int anzeigeSetzen = 0;
    QList<int> contexts;
    QList<std::pair<bool, QString>> links;
    bool linkResult = true;
    QStringList passwordsBefore; // the slot-1 password each confirmation started from
};

SetupServices services(Calls& calls)
{
    SetupServices s;
    s.GetText = [](quint16 n) -> QString { return u"T"_s + QString::number(n); };
    s.Anzeige_Setzen = [&calls] { ++calls.anzeigeSetzen; };
    s.ShowContext = [&calls](int c) { calls.contexts.append(c); };
    s.ProgramLink = [&calls](bool create, const QString& where) {
        calls.links.append({create, where});
        return calls.linkResult;
    };
    s.PasswordsChanged = [&calls](const Variabel& before) { calls.passwordsBefore.append(before.Passwort[1]); };
    return s;
}

// Types into the grid as a user does: the first key opens the cell editor,
// the rest goes to the editor, which has the focus then.
void typeIntoGrid(QWidget* grid, const QString& text)
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus != grid && grid->isAncestorOf(focus)) {
        QTest::keyClicks(focus, text); // the cell editor is open already
        return;
    }
    QTest::keyClicks(grid, text.left(1));
    QWidget* editor = QApplication::focusWidget() ? QApplication::focusWidget() : grid;
    QTest::keyClicks(editor, text.mid(1));
}

} // namespace

class TestSetupForm : public QObject
{
    Q_OBJECT

private slots:
    void showLoadsAndConfirmTakesEverything();
    void typedAccountGetsDefaultPortAndKeepsStoredPassword();
    void typedPasswordIsMasked();
    void clearedNameLeavesTheSlotData();
    void leavingOAuth2RemovesTheRefreshToken_data();
    void leavingOAuth2RemovesTheRefreshToken();
    void unknownUnitStaysUnlessChosen();
    void cancelKeepsChosenMailProgram();
    void shortcutButtonsReportOutcome();
    void captionsFromLanguageFile();
    void schedulePageTakesIntervalAccountsAndSwitches();
};

void TestSetupForm::showLoadsAndConfirmTakesEverything()
{
    Variabel v;
    v.Konto[2] = u"Privat"_s;
    v.Port[2] = 1110;
    v.Host[2] = u"127.0.0.1"_s;
    v.UserID[2] = u"anna"_s;
    v.Passwort[2] = u"geheim"_s;
    v.Angabe = u"MByte"_s;
    v.Loeschen_Absender = true;
    Calls calls;
    TSetupForm form(v, services(calls));
    form.show();
    QCOMPARE(form.windowTitle(), u"Postrella"_s);
    QCOMPARE(form.Tabelle->Cells(0, 0), u"T78"_s);
    QCOMPARE(form.Tabelle->Cells(4, 0), u"T91"_s);
    QCOMPARE(form.Tabelle->Cells(0, 2), u"Privat"_s);
    QCOMPARE(form.Tabelle->Cells(1, 2), u"1110"_s);
    QCOMPARE(form.Tabelle->Cells(4, 2), TSetupForm::PasswordMask); // a held password is never shown
    QVERIFY(form.RBMByte->isChecked());
    QVERIFY(form.CB_Absender->isChecked());
    QVERIFY(!form.CBHints->isEnabled());

    form.CB_Betreff->click();
    form.RBByte->click();
    form.CBStartschirm->click();
    QTest::mouseClick(form.SBestaetigen, Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QVERIFY(v.Loeschen_Betreff);
    QVERIFY(!v.Startschirm);
    QCOMPARE(v.Angabe, u"Byte"_s);
    QCOMPARE(v.Passwort[2], u"geheim"_s);
    QCOMPARE(calls.anzeigeSetzen, 1);
}

void TestSetupForm::typedAccountGetsDefaultPortAndKeepsStoredPassword()
{
    Variabel v;
    v.Konto[1] = u"Alt"_s;
    v.Passwort[1] = u"bleibt"_s;
    Calls calls;
    TSetupForm form(v, services(calls));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.PageControl1->setCurrentWidget(form.TSVersand);

    // Type a new account into row 3 as a user would: name, Tab, (empty port), Tab, host.
    form.Tabelle->setCurrentCell(3 - 1, 0);
    form.Tabelle->setFocus();
    typeIntoGrid(form.Tabelle, u"Neu"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    typeIntoGrid(form.Tabelle, u"pop.example.org"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_COMPARE(form.Tabelle->Cells(2, 3), u"pop.example.org"_s); // the editor commits on a queued call
    form.Tabelle->setCells(1, 1, u"11O"_s);                        // letter O, not a number
    form.BOK1Click();

    QCOMPARE(v.Konto[3], u"Neu"_s);
    QCOMPARE(v.Host[3], u"pop.example.org"_s);
    // A new account is secured from the start, on the port of its choice.
    QCOMPARE(v.Sicherheit[3], u"SSL/TLS"_s);
    QCOMPARE(v.Port[3], 995);
    // One stored before the choice existed stays plain.
    QCOMPARE(v.Sicherheit[1], u"Keine"_s);
    QCOMPARE(v.Port[1], 110);
    QCOMPARE(v.Passwort[1], u"bleibt"_s);
    form.show();
    form.Tabelle->setCells(4, 1, u"neu"_s);
    // The security is chosen from a list, not typed.
    form.Tabelle->setCurrentCell(1 - 1, 5);
    form.Tabelle->editItem(form.Tabelle->currentItem());
    auto* choice = form.Tabelle->findChild<QComboBox*>(u"CBSicherheit"_s);
    QVERIFY(choice);
    QCOMPARE(choice->currentText(), u"Keine"_s);
    QCOMPARE(choice->count(), 3);
    choice->setCurrentText(u"STARTTLS"_s);
    QTest::keyClick(choice, Qt::Key_Return);
    QTRY_COMPARE(form.Tabelle->Cells(5, 1), u"STARTTLS"_s);
    form.BOK1Click();
    QCOMPARE(v.Passwort[1], u"neu"_s);
    QCOMPARE(v.Sicherheit[1], u"STARTTLS"_s);

    // Shown again, the typed password is masked; deleting the mask clears it,
    // while an account without a password keeps its empty cell.
    form.show();
    QCOMPARE(form.Tabelle->Cells(4, 1), TSetupForm::PasswordMask);
    QCOMPARE(form.Tabelle->Cells(4, 3), QString());
    form.Tabelle->setCells(4, 1, QString());
    form.BOK1Click();
    QCOMPARE(v.Passwort[1], QString());
    QCOMPARE(v.Passwort[3], QString());
    QCOMPARE(calls.passwordsBefore, (QStringList{u"bleibt"_s, u"bleibt"_s, u"neu"_s}));
}

void TestSetupForm::typedPasswordIsMasked()
{
    Variabel v;
    v.Konto[1] = u"Konto"_s;
    Calls calls;
    TSetupForm form(v, services(calls));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.PageControl1->setCurrentWidget(form.TSVersand);
    form.Tabelle->setCurrentCell(0, 4);
    form.Tabelle->setFocus();
    typeIntoGrid(form.Tabelle, u"Geheim7"_s);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->echoMode(), QLineEdit::Password);
    QTest::keyClick(editor, Qt::Key_Return);
    // The cell's text is what the grid, its tool tip and assistive technology show.
    QTRY_COMPARE(form.Tabelle->Cells(4, 1), TSetupForm::PasswordMask);
    form.BOK1Click();
    QCOMPARE(v.Passwort[1], u"Geheim7"_s);
}

void TestSetupForm::clearedNameLeavesTheSlotData()
{
    Variabel v;
    v.Konto[4] = u"Weg"_s;
    v.Host[4] = u"host"_s;
    v.Port[4] = 2110;
    Calls calls;
    TSetupForm form(v, services(calls));
    form.show();
    form.Tabelle->setCells(0, 4, QString());
    form.BOK1Click();
    QCOMPARE(v.Konto[4], QString());
    QCOMPARE(v.Host[4], u"host"_s);
    QCOMPARE(v.Port[4], 2110);
}

void TestSetupForm::leavingOAuth2RemovesTheRefreshToken_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<bool>("kept");
    QTest::newRow("still OAuth2, another provider") << 7 << u"Google"_s << true;
    QTest::newRow("back to the password") << 6 << u"Passwort"_s << false;
    QTest::newRow("renamed") << 0 << u"Arbeit"_s << false;
    QTest::newRow("removed") << 0 << QString() << false;
}

void TestSetupForm::leavingOAuth2RemovesTheRefreshToken()
{
    QFETCH(int, column);
    QFETCH(QString, cell);
    QFETCH(bool, kept);
    TestEnvironment env;
    const QString entry = u"Firma (@)/oauth2-refresh"_s;
    env.secrets().entries.insert(entry, u"{}"_s);
    Variabel v;
    v.Konto[2] = u"Firma"_s;
    v.Anmeldung[2] = Variabel::LogOnOAuth2;
    PasswordKeeper keeper(v);
    Calls calls;
    SetupServices s = services(calls);
    s.PasswordsChanged = [&keeper](const Variabel& before) { keeper.settingsChanged(before); };
    TSetupForm form(v, s);
    form.show();
    form.Tabelle->setCells(column, 2, cell);
    form.BOK1Click();
    QCOMPARE(env.secrets().entries.contains(entry), kept);
}

void TestSetupForm::unknownUnitStaysUnlessChosen()
{
    Variabel v;
    v.Angabe = u"GByte"_s;
    Calls calls;
    TSetupForm form(v, services(calls));
    form.show();
    QVERIFY(!form.RBByte->isChecked() && !form.RBKByte->isChecked() && !form.RBMByte->isChecked());
    form.BOK1Click();
    QCOMPARE(v.Angabe, u"GByte"_s);
}

void TestSetupForm::cancelKeepsChosenMailProgram()
{
    ScriptedDialogs dialogs;
    Variabel v;
    Calls calls;
    TSetupForm form(v, services(calls));
    form.show();
    dialogs.answerFileDialog(u"/usr/bin/mailer"_s);
    QTest::mouseClick(form.FBPfad, Qt::LeftButton);
    QCOMPARE(form.FEProgramm->text(), u"/usr/bin/mailer"_s);
    QTest::mouseClick(form.SAbbrechen, Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(v.Client, u"/usr/bin/mailer"_s);

    form.show();
    QTest::mouseClick(form.FBPfad, Qt::LeftButton); // cancelled dialog: nothing changes
    QCOMPARE(v.Client, u"/usr/bin/mailer"_s);
    QTest::mouseClick(form.OBHilfe, Qt::LeftButton);
    QCOMPARE(calls.contexts, QList<int>{0});
    QVERIFY(form.isVisible());
}

void TestSetupForm::shortcutButtonsReportOutcome()
{
    ScriptedDialogs dialogs;
    Variabel v;
    Calls calls;
    TSetupForm form(v, services(calls));
    form.show();
    QTest::mouseClick(form.FB_Anlegen, Qt::LeftButton);
    form.FB_Menu_Desktop->click();
    calls.linkResult = false;
    QTest::mouseClick(form.FB_Entfernen, Qt::LeftButton);
    QCOMPARE(calls.links.size(), 2);
    QCOMPARE(calls.links[0], (std::pair<bool, QString>{true, QString()}));
    QCOMPARE(calls.links[1], (std::pair<bool, QString>{false, u"Menu_Desktop"_s}));
    QCOMPARE(dialogs.texts(), (QStringList{u"T110"_s, u"T113"_s}));
    QCOMPARE(dialogs.messages()[0].kind, Dialogs::Kind::Information);
    QCOMPARE(dialogs.messages()[1].kind, Dialogs::Kind::Error);
}

void TestSetupForm::captionsFromLanguageFile()
{
    Variabel v;
    Calls calls;
    TSetupForm form(v, services(calls));
    SprachenUn::Texte_Setup(form, [](quint16 n) { return n == 80 ? u"Versand"_s : QString(); });
    QCOMPARE(form.PageControl1->tabText(2), u"Versand"_s);
    QCOMPARE(form.GTVersand->Lines(), QStringList{u"Versand"_s});
    QCOMPARE(form.GTAblage->Lines(), QStringList{QString()}); // one line, even when empty
    QCOMPARE(form.SBestaetigen->text(), QString());
}

void TestSetupForm::schedulePageTakesIntervalAccountsAndSwitches()
{
    Variabel v;
    v.Konto[1] = u"Arbeit"_s;
    v.Konto[3] = u"Privat"_s;
    v.Automatisch_Konto[3] = 0;
    v.Intervall = 5000; // stored by hand beyond a day
    Calls calls;
    TSetupForm form(v, services(calls));
    form.show();
    QVERIFY(!form.CBAutomatisch->isChecked());
    QCOMPARE(form.SEIntervall->value(), 1440);
    QCOMPARE(form.LBAutomatisch_Konten->count(), 2);
    QCOMPARE(form.LBAutomatisch_Konten->item(0)->checkState(), Qt::Checked);
    QCOMPARE(form.LBAutomatisch_Konten->item(1)->text(), u"Privat"_s);
    QCOMPARE(form.LBAutomatisch_Konten->item(1)->checkState(), Qt::Unchecked);

    form.CBAutomatisch->click();
    form.CBAutomatisch_Loeschen->click();
    form.SEIntervall->setValue(0);
    form.LBAutomatisch_Konten->item(0)->setCheckState(Qt::Unchecked);
    form.LBAutomatisch_Konten->item(1)->setCheckState(Qt::Checked);
    QTest::mouseClick(form.SBestaetigen, Qt::LeftButton);
    QVERIFY(v.Automatisch);
    QVERIFY(v.Automatisch_Loeschen);
    QVERIFY(!v.In_Tray);
    QCOMPARE(v.Intervall, 1);
    QCOMPARE(v.Automatisch_Konto[1], 0);
    QCOMPARE(v.Automatisch_Konto[3], 1);
}

QTEST_MAIN(TestSetupForm)
#include "tst_setupform.moc"
