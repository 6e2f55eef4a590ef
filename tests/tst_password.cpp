#include "FWLanguageUnit.h"
#include "FWPasswordDialog.h"
#include "FWPasswordUnit.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>

using namespace Qt::StringLiterals;

namespace {

using Answer = std::function<void(TFWPasswordDialog&)>;

// Answers each modal show of the prompt, in order, once its loop runs; counts the shows.
class ScriptedPrompt
{
public:
    explicit ScriptedPrompt(std::deque<Answer> answers) : m_answers(std::move(answers))
    {
        TFWPassword::setDialogHook([this](TFWPasswordDialog& dialog) {
            ++m_shows;
            Answer answer = m_answers.empty() ? Answer([](TFWPasswordDialog& d) { d.reject(); }) : m_answers.front();
            if (!m_answers.empty())
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

Answer query(const QString& password, bool confirm)
{
    return [=](TFWPasswordDialog& d) {
        QVERIFY(!d.isEntryPanelShown());
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
    ScriptedPrompt prompt({[](TFWPasswordDialog& d) {
        QCOMPARE(d.name2()->text(), u"alice"_s);
        QCOMPARE(d.Get1()->text(), QString()); // the old password is never shown
        d.name2()->setText(u"bob"_s);
        query(u"s3cret"_s, true)(d);
    }});
    TFWPassword password;
    password.setMode(ModeMenge::Put);
    password.setUserName(u"alice"_s);
    password.setPassword(u"old"_s);
    QVERIFY(!password.Execute());
    QCOMPARE(password.UserName(), u"bob"_s);
    QCOMPARE(password.Password(), u"s3cret"_s);
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

void TestPassword::retype_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("confirmQuery");
    QTest::addColumn<bool>("confirmEntry");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("shows");
    QTest::addColumn<QStringList>("messages");
    const QString alt = u"alt"_s;
    QTest::newRow("two equal entries") << alt << true << true << u"neu"_s << true << u"neu"_s << 2 << QStringList();
    QTest::newRow("two empty entries") << alt << true << true << QString() << true << QString() << 2 << QStringList();
    QTest::newRow("entry panel cancelled") << alt << true << false << u"neu"_s << false << alt << 2 << QStringList();
    QTest::newRow("query cancelled") << alt << false << true << u"neu"_s << false << alt << 1 << QStringList();
    QTest::newRow("wrong current password, case counts")
        << u"Alt"_s << true << true << u"neu"_s << false << alt << 1 << QStringList{u"The password is wrong !"_s};
}

void TestPassword::retype()
{
    QFETCH(QString, current);
    QFETCH(bool, confirmQuery);
    QFETCH(bool, confirmEntry);
    QFETCH(QString, newPassword);
    QFETCH(bool, result);
    QFETCH(QString, password);
    QFETCH(int, shows);
    QFETCH(QStringList, messages);
    ScriptedDialogs dialogs;
    ScriptedPrompt prompt({query(current, confirmQuery), entry(newPassword, newPassword, confirmEntry)});
    TFWPassword component;
    component.setMode(ModeMenge::Retype);
    component.setPassword(u"alt"_s);
    QCOMPARE(component.Execute(), result);
    QCOMPARE(component.Password(), password);
    QCOMPARE(prompt.shows(), shows);
    QCOMPARE(dialogs.texts(), messages);
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
    QCOMPARE(dialogs.texts(), QStringList{u"The retype password is wrong ! Try once more !"_s});
    QCOMPARE(dialogs.messages().constFirst().kind, Dialogs::Kind::Error);
    QCOMPARE(password.Password(), u"eins"_s);
}

void TestPassword::labelsFollowTheCodeLetter_data()
{
    QTest::addColumn<QByteArray>("fileLetter"); // null: no language component
    QTest::addColumn<QString>("ownLetter");
    QTest::addColumn<QStringList>("labels");
    const QStringList german{u"Benutzer eingeben:"_s, u"Passwort eingeben:"_s, u"Passwort doppelt eintragen"_s};
    const QStringList english{u"Enter user:"_s, u"Enter password:"_s, u"Set password and retype"_s};
    QTest::newRow("linked file says D") << "D"_ba << u"E"_s << german;
    QTest::newRow("linked file says d") << "d"_ba << u"D"_s << english;
    QTest::newRow("no language, own letter d") << QByteArray() << u"d"_s << german;
    QTest::newRow("no language, own letter E") << QByteArray() << u"E"_s << english;
}

void TestPassword::labelsFollowTheCodeLetter()
{
    QFETCH(QByteArray, fileLetter);
    QFETCH(QString, ownLetter);
    QFETCH(QStringList, labels);
    QTemporaryDir dir;
    TFWLanguage language;
    TFWPassword password;
    password.setLanguageCodeLetter(ownLetter);
    if (!fileLetter.isNull()) {
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
        QCOMPARE(d.size(), QSize(266, 149));
        QVERIFY(!(d.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(d.focusWidget(), d.PwButton2());
        QCOMPARE(d.Get1()->echoMode(), QLineEdit::Password);
        QCOMPARE(d.name2()->focusPolicy() & Qt::TabFocus, 0);
        QCOMPARE(d.PwButton4()->geometry(), QRect(16, 80, 105, 23));
        for (const char* name : {"name2", "Get1", "PwButton1", "PwButton2", "Set1", "Set2", "PwButton3", "PwButton4"})
            QVERIFY2(!d.findChild<QWidget*>(QString::fromLatin1(name))->accessibleName().isEmpty(), name);
        checked = true;
        d.PwButton2()->click();
    }});
    TFWPassword password;
    password.Execute();
    QVERIFY(checked);
}

void TestPassword::componentInfo()
{
    TestEnvironment env;
    TFWPassword password;
    password.setProperty("CILastCompile", u"01.01.1999"_s); // ignored
    password.WriteComponentInfo(u"Software\\Fernwick\\FW-Postrella"_s);
    SettingsStore store;
    const QString key = u"Software\\Fernwick\\FW-Postrella\\CI\\TFWPassword"_s;
    QCOMPARE(store.readString(key, u"Version"_s), u"1.06"_s);
    QCOMPARE(store.readString(key, u"Last Change"_s), u"29.06.2000"_s);

    // Every start writes the record again: unchanged, the file is not rewritten.
    const QDateTime past(QDate(2000, 1, 1), QTime(0, 0));
    {
        QFile file(env.settingsFile());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
    }
    const QDateTime written = QFileInfo(env.settingsFile()).lastModified();
    QCOMPARE(written, past);
    password.WriteComponentInfo(u"Software\\Fernwick\\FW-Postrella"_s);
    QCOMPARE(QFileInfo(env.settingsFile()).lastModified(), written);
}

QTEST_MAIN(TestPassword)
#include "tst_password.moc"
