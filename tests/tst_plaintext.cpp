#include "BerichtUn.h"
#include "CheckWait.h"
#include "FakePop3Server.h"
#include "MessageList.h"
#include "ModelGrid.h"
#include "ProgramWindows.h"
#include "SettingsStore.h"
#include "StatusLabel.h"
#include "StringGrid.h"
#include "TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

using namespace Qt::StringLiterals;
using namespace Pop3Script;

// What a reader that takes the text for rich text shows.
static QString rendered(const QString& html)
{
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText().trimmed();
}

// Text from a server or a mail reaches the user as the literal text, never as
// markup that is rendered or, for an image, loaded.
class TestPlainText : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<ProgramWindows> windows;

private slots:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        SettingsStore().writeString(u"Programm"_s, u"First"_s, u"0"_s);
        SettingsStore().writeString(u"Programm"_s, u"Startschirm"_s, u"0"_s);
        dialogs = std::make_unique<ScriptedDialogs>();
        windows = std::make_unique<ProgramWindows>();
        windows->StammForm.show();
    }
    void cleanup() { windows.reset(), dialogs.reset(), env.reset(); }
    void serverTextStaysText_data();
    void serverTextStaysText();
    void statusLineNeverWidensTheWindow();
    void trustBoxDefaultsToCancel_data();
    void trustBoxDefaultsToCancel();
};

void TestPlainText::serverTextStaysText_data()
{
    QTest::addColumn<QByteArray>("markup");
    QTest::addColumn<QString>("where");
    for (const char* markup : {"<img src=\"/dev/zero\">", "<font size=6 color=red>x</font>", "<b>fett</b>"}) {
        for (const QString& where : {u"grid tool tip"_s, u"STAT reply"_s, u"refused STLS"_s})
            QTest::addRow("%s, %s", qPrintable(where), markup) << QByteArray(markup) << where;
    }
}

void TestPlainText::serverTextStaysText()
{
    QFETCH(QByteArray, markup);
    QFETCH(QString, where);
    const QString literal = QString::fromLatin1(markup);
    TStammForm& f = windows->StammForm;
    if (where == u"grid tool tip"_s) {
        MessageList::Message message;
        message.number = 1;
        message.subject = u"Gewinn "_s + literal + QString(200, u'x'); // clipped: it has a tool tip
        f.Messages().append(message);
        const QPoint at = f.Tabelle->visualRect(f.Tabelle->model()->index(0, 5)).center();
        QHelpEvent help(QEvent::ToolTip, at, f.Tabelle->viewport()->mapToGlobal(at));
        QApplication::sendEvent(f.Tabelle->viewport(), &help);
        QCOMPARE(rendered(QToolTip::text()), f.Tabelle->Cells(5, 1));
        return;
    }
    const bool stat = where == u"STAT reply"_s;
    FakePop3Server fake(stat ? greeting() + login("u", "p") + client("STAT") + server("+OK 0 0 " + markup) + quit()
                             : greeting("+OK ready", {"STLS"}) + client("STLS") + server("-ERR " + markup) + quit());
    Variabel& v = windows->state;
    std::tie(v.Konto[1], v.Host[1], v.Port[1], v.UserID[1], v.Passwort[1]) =
        std::tuple(u"Test"_s, QString::fromLatin1(fake.host()), fake.port(), u"u"_s, u"p"_s);
    v.Sicherheit[1] = stat ? u"Keine"_s : u"STARTTLS"_s;
    f.Anzeige_Setzen();
    f.Konten->setEditText(u"Test"_s);
    QVERIFY(clickCheck(f));
    if (!stat) {
        // Logged, and written into the status line as the scheduled check does.
        const QStringList log = windows->BerichtForm->lines();
        QVERIFY2(log.join(u'\n').contains(literal), qPrintable(log.join(u'\n')));
        ScheduledCheck::Outcome refused;
        refused.error = log.constFirst();
        f.BackgroundChecked(1, refused);
    }
    QVERIFY2(f.LStatus->text().contains(literal), qPrintable(f.LStatus->text()));
    QCOMPARE(f.LStatus->textFormat(), Qt::PlainText);
    QCOMPARE(rendered(f.LStatus->toolTip()), f.LStatus->text().trimmed());
}

void TestPlainText::statusLineNeverWidensTheWindow()
{
    TStammForm& f = windows->StammForm;
    QCoreApplication::sendPostedEvents();
    const int width = f.width();
    const QString text = u"Status: -ERR "_s + QString(400, u'y');
    f.LStatus->setText(text);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(f.width(), width);
    QVERIFY2(f.LStatus->shownText().endsWith(u'…'), qPrintable(f.LStatus->shownText()));
    QCOMPARE(rendered(f.LStatus->toolTip()), text);
    QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(f.LStatus);
    QCOMPARE(spoken->text(QAccessible::Name), u"Statusmeldung"_s);
    QCOMPARE(spoken->text(QAccessible::Description), text);
}

void TestPlainText::trustBoxDefaultsToCancel_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestPlainText::trustBoxDefaultsToCancel()
{
    QFETCH(int, key);
    const QString text = u"Inhaber: <b>x</b> <img src=\"/dev/zero\">"_s;
    Dialogs::message(Dialogs::Kind::Confirmation, text, Dialogs::Trust | Dialogs::Cancel);
    QCOMPARE(dialogs->messages().constFirst().defaultButton, Dialogs::Cancel);
    dialogs.reset(); // the real box, answered with the key as a user would
    QStringList seen;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        seen << box->text() << QString::number(box->textFormat()) << box->defaultButton()->text()
             << box->focusWidget()->property("text").toString();
        QTest::keyClick(box->focusWidget(), Qt::Key(key));
    });
    QCOMPARE(Dialogs::message(Dialogs::Kind::Confirmation, text, Dialogs::Trust | Dialogs::Cancel), Dialogs::Cancel);
    QCOMPARE(seen, (QStringList{text, QString::number(Qt::PlainText), u"Abbrechen"_s, u"Abbrechen"_s}));
}

QTEST_MAIN(TestPlainText)
#include "tst_plaintext.moc"
