#include "FWLanguageUnit.h"
#include "FWPasswordDialog.h"
#include "FWPasswordUnit.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>

using namespace Qt::StringLiterals;

namespace {

const QString kRetypeWrong = u"The retype password is wrong ! Try once more !"_s;
const QString kPasswordWrong = u"The password is wrong !"_s;

using Answer = std::function<void(TFWPasswordDialog&)>;

// Answers each modal show of the prompt, in order, once its loop runs; counts the shows.
class ScriptedPrompt
{
public:
    explicit ScriptedPrompt(std::deque<Answer> answers) : m_answers(std::move(answers))
    {
        TFWPassword::setDialogHook([this](TFWPasswordDialog& dialog) {
            ++m_shows;
            if (m_answers.empty()) {
                QTimer::singleShot(0, &dialog, [&dialog] { dialog.reject(); });
                return;
            }
            Answer answer = std::move(m_answers.front());
            m_answers.pop_front();
            QTimer::singleShot(0, &dialog, [&dialog, answer] {
                answer(dialog);
                // A failed check inside the answer must not leave the window waiting.
                if (QTest::currentTestFailed() && dialog.isVisible())
                    dialog.done(QDialog::Rejected);
            });
        });
    }
    ~ScriptedPrompt() { TFWPassword::setDialogHook({}); }

    int shows() const { return m_shows; }

private:
    std::deque<Answer> m_answers;
    int m_shows = 0;
};

Answer query(const QString& user, const QString& password, bool confirm)
{
    return [=](TFWPasswordDialog& d) {
        QVERIFY(!d.isEntryPanelShown());
        if (!user.isNull())
            d.name2()->setText(user);
        d.Get1()->setText(password);
        (confirm ? d.PwButton2() : d.PwButton1())->click();
    };
}

Answer entry(const QString& first, const QString& second, bool confirm)
{
    return [=](TFWPasswordDialog& d) {
        QVERIFY(d.isEntryPanelShown());
        d.Set1()->setText(first);
        d.Set2()->setText(second);
        (confirm ? d.PwButton4() : d.PwButton3())->click();
    };
}

} // namespace

class TestPassword : public QObject
{
    Q_OBJECT

private slots:
    void putShowsTheUserAndReturnsTheChange();
    void cancelEmptiesThePassword_data();
    void cancelEmptiesThePassword();
    void retypeWithWrongCurrentPassword();
    void retype_data();
    void retype();
    void entryMismatchKeepsTheWindowOpen();
    void labelsFollowTheCodeLetter_data();
    void labelsFollowTheCodeLetter();
    void windowLayout();
    void componentInfo();
};

void TestPassword::putShowsTheUserAndReturnsTheChange()
{
    ScriptedDialogs dialogs;
    ScriptedPrompt prompt({[](TFWPasswordDialog& d) {
        QCOMPARE(d.name2()->text(), u"alice"_s);
        QCOMPARE(d.Get1()->text(), QString()); // never shows the old password
        query(u"bob"_s, u"s3cret"_s, true)(d);
    }});
    TFWPassword password;
    password.setMode(ModeMenge::Put);
    password.setUserName(u"alice"_s);
    password.setPassword(u"old"_s);
    QVERIFY(!password.Execute());
    QCOMPARE(prompt.shows(), 1);
    QCOMPARE(password.UserName(), u"bob"_s);
    QCOMPARE(password.Password(), u"s3cret"_s);
    QVERIFY(dialogs.texts().isEmpty());
}

void TestPassword::cancelEmptiesThePassword_data()
{
    QTest::addColumn<ModeMenge>("mode");
    QTest::addColumn<bool>("escape");
    QTest::newRow("Put, cancel button") << ModeMenge::Put << false;
    QTest::newRow("Get, cancel button") << ModeMenge::Get << false;
    QTest::newRow("Put, Escape key") << ModeMenge::Put << true;
}

void TestPassword::cancelEmptiesThePassword()
{
    QFETCH(ModeMenge, mode);
    QFETCH(bool, escape);
    ScriptedPrompt prompt({[escape](TFWPasswordDialog& d) {
        d.name2()->setText(u"typed"_s);
        d.Get1()->setText(u"typed too"_s);
        if (escape)
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            d.PwButton1()->click();
    }});
    TFWPassword password;
    password.setMode(mode);
    password.setPassword(u"old"_s);
    QVERIFY(!password.Execute());
    QCOMPARE(password.Password(), QString());
    QCOMPARE(password.UserName(), u"typed"_s);
}

void TestPassword::retypeWithWrongCurrentPassword()
{
    ScriptedDialogs dialogs;
    ScriptedPrompt prompt({query({}, u"Abc"_s, true)});
    TFWPassword password;
    password.setMode(ModeMenge::Retype);
    password.setPassword(u"abc"_s);
    QVERIFY(!password.Execute());
    QCOMPARE(prompt.shows(), 1); // the entry panel never came
    QCOMPARE(dialogs.texts(), QStringList{kPasswordWrong});
    QCOMPARE(dialogs.messages().constFirst().kind, Dialogs::Kind::Error);
    QCOMPARE(password.Password(), u"abc"_s);
}

void TestPassword::retype_data()
{
    QTest::addColumn<bool>("confirmQuery");
    QTest::addColumn<bool>("confirmEntry");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("shows");
    QTest::newRow("two equal entries") << true << true << u"neu"_s << true << u"neu"_s << 2;
    QTest::newRow("two empty entries") << true << true << QString() << true << QString() << 2;
    QTest::newRow("entry panel cancelled") << true << false << u"neu"_s << false << u"alt"_s << 2;
    QTest::newRow("query cancelled") << false << true << u"neu"_s << false << u"alt"_s << 1;
}

void TestPassword::retype()
{
    QFETCH(bool, confirmQuery);
    QFETCH(bool, confirmEntry);
    QFETCH(QString, newPassword);
    QFETCH(bool, result);
    QFETCH(QString, password);
    QFETCH(int, shows);
    ScriptedDialogs dialogs;
    ScriptedPrompt prompt({query({}, u"alt"_s, confirmQuery), entry(newPassword, newPassword, confirmEntry)});
    TFWPassword component;
    component.setMode(ModeMenge::Retype);
    component.setPassword(u"alt"_s);
    QCOMPARE(component.Execute(), result);
    QCOMPARE(component.Password(), password);
    QCOMPARE(prompt.shows(), shows);
    QVERIFY(dialogs.texts().isEmpty());
}

void TestPassword::entryMismatchKeepsTheWindowOpen()
{
    ScriptedDialogs dialogs;
    bool stayedOpen = false;
    ScriptedPrompt prompt({[&](TFWPasswordDialog& d) {
        entry(u"eins"_s, u"zwei"_s, true)(d);
        stayedOpen = d.isVisible() && d.Set2()->text().isEmpty() && d.Set1()->text() == u"eins"_s;
        d.Set2()->setText(u"eins"_s);
        d.PwButton4()->click();
    }});
    TFWPassword password;
    password.setMode(ModeMenge::Write);
    QVERIFY(!password.Execute()); // Write never reports success
    QVERIFY(stayedOpen);
    QCOMPARE(dialogs.texts(), QStringList{kRetypeWrong});
    QCOMPARE(password.Password(), u"eins"_s);
}

void TestPassword::labelsFollowTheCodeLetter_data()
{
    QTest::addColumn<QByteArray>("fileLetter"); // empty: no language component
    QTest::addColumn<QString>("ownLetter");
    QTest::addColumn<QStringList>("labels");
    const QStringList german{u"Benutzer eingeben:"_s, u"Passwort eingeben:"_s, u"Passwort doppelt eintragen"_s};
    const QStringList english{u"Enter user:"_s, u"Enter password:"_s, u"Set password and retype"_s};
    QTest::newRow("linked file says D") << "D"_ba << u"E"_s << german;
    QTest::newRow("linked file says d") << "d"_ba << u"D"_s << english;
    QTest::newRow("no file, own letter d") << QByteArray() << u"d"_s << german;
    QTest::newRow("no file, own letter E") << QByteArray() << u"E"_s << english;
}

void TestPassword::labelsFollowTheCodeLetter()
{
    QFETCH(QByteArray, fileLetter);
    QFETCH(QString, ownLetter);
    QFETCH(QStringList, labels);
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    TFWLanguage language;
    TFWPassword password;
    password.setLanguageCodeLetter(ownLetter);
    if (!fileLetter.isEmpty()) {
        QFile file(dir.filePath(u"l.lng"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x\r\n" + fileLetter + "\r\nx\r\n0\r\n");
        file.close();
        language.setPath(dir.path());
        language.setFileName(u"l.lng"_s);
        password.setLanguage(&language);
    }
    QStringList shown;
    ScriptedPrompt prompt({[&shown](TFWPasswordDialog& d) {
        shown = QStringList{d.name1()->text(), d.password1()->text(), d.Lretype()->text()};
        d.PwButton2()->click();
    }});
    password.Execute();
    QCOMPARE(shown, labels);
}

void TestPassword::windowLayout()
{
    bool checked = false;
    ScriptedPrompt prompt({[&checked](TFWPasswordDialog& d) {
        QCOMPARE(d.objectName(), u"FWPasswordDialog"_s);
        QCOMPARE(d.windowTitle(), u"TFW-Password"_s);
        QCOMPARE(d.size(), QSize(266, 149));
        QVERIFY(!(d.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(d.focusWidget(), d.PwButton2());
        QCOMPARE(d.Get1()->echoMode(), QLineEdit::Password);
        QCOMPARE(d.name2()->focusPolicy() & Qt::TabFocus, 0);
        QCOMPARE(d.Get1()->geometry(), QRect(16, 56, 201, 22));
        QCOMPARE(d.PwButton4()->geometry(), QRect(16, 80, 105, 23));
        for (const char* name : {"PAbfrage", "PEingabe", "name1", "name2", "password1", "Get1", "PwButton1",
                                 "PwButton2", "Lretype", "Set1", "Set2", "PwButton3", "PwButton4"}) {
            auto* widget = d.findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(widget, name);
            if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QPushButton*>(widget))
                QVERIFY2(!widget->accessibleName().isEmpty(), name);
        }
        checked = true;
        d.PwButton2()->click();
    }});
    TFWPassword password;
    password.setUser(true);
    password.Execute();
    QVERIFY(checked);
}

void TestPassword::componentInfo()
{
    TestEnvironment env;
    TFWPassword password;
    password.setProperty("CILastCompile", u"01.01.1999"_s);
    password.WriteComponentInfo(u"Software\\Fernwick\\FW-Postrella"_s);
    SettingsStore store;
    const QString key = u"Software\\Fernwick\\FW-Postrella\\CI\\TFWPassword"_s;
    QCOMPARE(store.readString(key, u"Company"_s), u"Fernwick"_s);
    QCOMPARE(store.readString(key, u"Version"_s), u"1.06"_s);
    QCOMPARE(store.readString(key, u"Last Change"_s), u"29.06.2000"_s);
}

QTEST_MAIN(TestPassword)
#include "tst_password.moc"
