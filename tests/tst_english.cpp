#include "CheckProgram.h"
#include "FWOnlineHelpDialog.h"
#include "FWOnlineHelpUnit.h"
#include "GradientText.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextBrowser>

using namespace CheckProgram;

namespace {

// Every text a user can meet on the window: its widgets' captions, names and
// tool tips, its menus and actions, tab and column titles, and what the
// accessibility tree reads out. Help pages are content.
QStringList textsOf(QWidget* window)
{
    QStringList texts{window->windowTitle()};
    const auto widgets = window->findChildren<QWidget*>() << window;
    for (QWidget* w : widgets) {
        texts << w->accessibleName() << w->toolTip();
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            texts << b->text();
        if (auto* l = qobject_cast<QLabel*>(w))
            texts << l->text();
        if (auto* g = qobject_cast<QGroupBox*>(w))
            texts << g->title();
        if (auto* lamp = qobject_cast<TLEDLabel*>(w))
            texts << lamp->Caption();
        if (auto* heading = qobject_cast<TGradientText*>(w))
            texts << heading->Lines();
        if (auto* memo = qobject_cast<QPlainTextEdit*>(w); memo && memo->isReadOnly())
            texts << memo->toPlainText();
        if (auto* tabs = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < tabs->count(); ++i)
                texts << tabs->tabText(i);
        if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model()) {
            const QAbstractItemModel* model = view->model();
            for (int c = 0; c < model->columnCount(); ++c) {
                texts << model->headerData(c, Qt::Horizontal).toString();
                for (int r = 0; r < model->rowCount(); ++r)
                    texts << model->index(r, c).data().toString();
            }
        }
        if (auto* menu = qobject_cast<QMenu*>(w))
            texts << menu->title();
    }
    for (QAction* a : window->findChildren<QAction*>())
        texts << a->text() << a->toolTip();
    const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        if (!node || qobject_cast<QTextBrowser*>(node->object()))
            return;
        texts << node->text(QAccessible::Name) << node->text(QAccessible::Description);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(window));
    return texts;
}

QStringList germanIn(const QStringList& texts)
{
    static const QRegularExpression german(
        u"[äöüßÄÖÜ]|\\b(der|die|das|und|nicht|ist|wird|wurde|Sie|Ihr|Fehler|Konto|Verbindung|Einstellungen|Löschen|"
        u"Prüfen|Hilfe|Beenden|Abbrechen|Passwort|Nachrichten?|Betreff|Absender|Sprache|Bezeichnung|Anzeige)\\b"_s);
    QStringList found;
    for (const QString& text : texts) {
        if (text.contains(german))
            found << text;
    }
    found.removeDuplicates();
    return found;
}

} // namespace

class TestEnglish : public QObject
{
    Q_OBJECT

private slots:
    void noGermanWordInEnglishMode_data();
    void noGermanWordInEnglishMode();
    void germanModeKeepsItsTexts();
};

void TestEnglish::noGermanWordInEnglishMode_data()
{
    QTest::addColumn<QString>("window");
    for (const char* window :
         {"wizard", "main window", "settings", "log", "failing check", "help window", "examination window"})
        QTest::newRow(window) << QString::fromLatin1(window);
}

void TestEnglish::noGermanWordInEnglishMode()
{
    QFETCH(QString, window);
    TestEnvironment env;
    ScriptedDialogs dialogs;
    SettingsStore().writeString(u"Programm"_s, u"Sprache"_s, u"english.lng"_s);
    SettingsStore().writeString(u"Programm"_s, u"Startschirm"_s, u"0"_s);
    if (window != u"wizard"_s)
        SettingsStore().writeString(u"Programm"_s, u"First"_s, u"0"_s);
    ProgramWindows w(ProgramWindows::Others::WithMainWindow);
    TStammForm& f = w.StammForm;
    f.show();
    QStringList texts;
    if (window == u"wizard"_s) {
        QVERIFY(f.PFirst);
        texts = textsOf(f.PFirst); // both pages
    } else if (window == u"main window"_s) {
        texts = textsOf(&f);
    } else if (window == u"settings"_s) {
        f.Setup1->trigger();
        texts = textsOf(w.SetupForm.get());
    } else if (window == u"log"_s || window == u"failing check"_s) {
        FakePop3Server fake(greeting() + close());
        f.V.Konto[1] = u"Test"_s;
        f.V.Host[1] = QString::fromLatin1(fake.host());
        f.V.Port[1] = fake.port();
        f.V.UserID[1] = u"u"_s;
        f.V.Passwort[1] = u"p"_s;
        f.V.Sicherheit[1] = f.V.SecurityNone;
        f.Anzeige_Setzen();
        QVERIFY(clickCheck(f));
        QVERIFY(!dialogs.texts().isEmpty());
        f.Protokoll1->trigger();
        texts = window == u"log"_s ? textsOf(w.BerichtForm.get()) + w.BerichtForm->lines() : dialogs.texts();
    } else if (window == u"examination window"_s) {
        w.ExamineForm->Einrichten();
        w.ExamineForm->setMessage(u"a@example.org"_s, u"Hi"_s, {u"Hello"_s}, {u"tool.exe"_s, u"notes.txt"_s});
        w.ExamineForm->Tabelle_Auswerten(1);
        texts = textsOf(w.ExamineForm.get());
    } else {
        f.Hilfe1->trigger();
        QVERIFY(f.FWOnlineHelp1->helpWindow());
        texts = textsOf(f.FWOnlineHelp1->helpWindow());
    }
    texts << dialogs.texts();
    const QStringList german = germanIn(texts);
    QVERIFY2(german.isEmpty(), qPrintable(german.join(u" | "_s)));
}

void TestEnglish::germanModeKeepsItsTexts()
{
    // No Sprache stored: the system's German decides, and the choice offered
    // in the settings is the file in use.
    Program p;
    QCOMPARE(p.form().SBCheck->text(), u"Prüfen"_s);
    QCOMPARE(p.form().Schrift->Text(), u"... Bereit ..."_s);
    p.form().Setup1->trigger();
    auto* choice = p.windows->SetupForm->findChild<QComboBox*>(u"CBSprache"_s);
    QVERIFY(choice);
    QCOMPARE(choice->currentText(), u"deutsch.lng"_s);
    QVERIFY(choice->findText(u"english.lng"_s) >= 0);
    QCOMPARE(p.windows->SetupForm->findChild<QLabel*>(u"LSprache_Hinweis"_s)->text(), u"Gilt ab dem nächsten Start."_s);
    // Chosen, English comes at the next start.
    choice->setCurrentText(u"english.lng"_s);
    QTest::mouseClick(p.windows->SetupForm->findChild<QPushButton*>(u"SBestaetigen"_s), Qt::LeftButton);
    p.form().close();
    QCOMPARE(SettingsStore().readString(u"Programm"_s, u"Sprache"_s), u"english.lng"_s);
    ProgramWindows next(ProgramWindows::Others::WithMainWindow);
    next.StammForm.show();
    QCOMPARE(next.StammForm.SBCheck->text(), u"Check"_s);
}

QTEST_MAIN(TestEnglish)
#include "tst_english.moc"
