#include "BerichtUn.h"
#include "FakePop3Server.h"
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

namespace {

// What a reader that takes the text for rich text shows.
QString rendered(const QString& html)
{
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

struct Program
{
    TestEnvironment env;
    ScriptedDialogs dialogs;
    std::unique_ptr<ProgramWindows> windows;

    Program()
    {
        SettingsStore().writeString(u"Programm"_s, u"First"_s, u"0"_s);
        SettingsStore().writeString(u"Programm"_s, u"Startschirm"_s, u"0"_s);
        windows = std::make_unique<ProgramWindows>();
        windows->StammForm.show();
    }
};

} // namespace

// Text from a server or a mail reaches the user as the literal text, never as
// markup that would be rendered (or, for an image, loaded).
class TestPlainText : public QObject
{
    Q_OBJECT

private slots:
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
    Program p;
    TStammForm& f = p.windows->StammForm;
    if (where == u"grid tool tip"_s) {
        f.Tabelle->setRowCount(2);
        f.Tabelle->setCells(5, 1, u"Gewinn "_s + literal + QString(200, u'x')); // clipped: it has a tool tip
        const QPoint at = f.Tabelle->visualItemRect(f.Tabelle->item(0, 5)).center();
        QHelpEvent help(QEvent::ToolTip, at, f.Tabelle->viewport()->mapToGlobal(at));
        QApplication::sendEvent(f.Tabelle->viewport(), &help);
        QCOMPARE(rendered(QToolTip::text()), f.Tabelle->Cells(5, 1));
        return;
    }
    const bool stat = where == u"STAT reply"_s;
    FakePop3Server fake(stat ? greeting() + login("u", "p") + client("STAT") + server("+OK 0 0 " + markup) + quit()
                             : greeting("+OK ready", {"STLS"}) + client("STLS") + server("-ERR " + markup) + quit());
    Variabel& v = p.windows->state;
    v.Konto[1] = u"Test"_s;
    v.Host[1] = QString::fromLatin1(fake.host());
    v.Port[1] = fake.port();
    v.UserID[1] = u"u"_s;
    v.Passwort[1] = u"p"_s;
    v.Sicherheit[1] = stat ? u"Keine"_s : u"STARTTLS"_s;
    f.Anzeige_Setzen();
    f.Konten->setEditText(u"Test"_s);
    QTest::mouseClick(f.SBCheck, Qt::LeftButton);
    if (!stat) {
        const QStringList log = p.windows->BerichtForm->lines();
        QVERIFY2(log.join(u'\n').contains(literal), qPrintable(log.join(u'\n')));
        // The scheduled check writes the same refusal into the status line.
        ScheduledCheck::Outcome refused;
        refused.error = log.constFirst();
        f.BackgroundChecked(1, refused);
    }
    QVERIFY2(f.LStatus->text().contains(literal), qPrintable(f.LStatus->text()));
    QCOMPARE(f.LStatus->textFormat(), Qt::PlainText);
    QCOMPARE(rendered(f.LStatus->toolTip()).trimmed(), f.LStatus->text().trimmed());
    f.close();
}

void TestPlainText::statusLineNeverWidensTheWindow()
{
    Program p;
    TStammForm& f = p.windows->StammForm;
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
    {
        ScriptedDialogs dialogs;
        Dialogs::message(Dialogs::Kind::Confirmation, text, Dialogs::Trust | Dialogs::Cancel);
        QCOMPARE(dialogs.messages().constFirst().defaultButton, Dialogs::Cancel);
    }
    // The real box, answered with the key as a user would.
    QString shown, defaultButton, focused;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        shown = box->text();
        format = box->textFormat();
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        focused = qobject_cast<QPushButton*>(box->focusWidget()) ? box->focusWidget()->property("text").toString()
                                                                 : QString();
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key(key));
    });
    QCOMPARE(Dialogs::message(Dialogs::Kind::Confirmation, text, Dialogs::Trust | Dialogs::Cancel), Dialogs::Cancel);
    QCOMPARE(defaultButton, u"Abbrechen"_s);
    QCOMPARE(focused, u"Abbrechen"_s);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shown, text);
}

QTEST_MAIN(TestPlainText)
#include "tst_plaintext.moc"
