#pragma once

// The program with its windows and a scripted server behind account "Test",
// shared by the tests of the check and of the commands on its list.
#include "BerichtUn.h"
#include "CheckWait.h"
#include "FWPasswordDialog.h"
#include "FWPasswordUnit.h"
#include "FakePop3Server.h"
#include "LED.h"
#include "ModelGrid.h"
#include "Pop3Client.h"
#include "ProgramWindows.h"
#include "ScrollingText.h"
#include "SettingsStore.h"
#include "StatusLabel.h"
#include "StringGrid.h"
#include "TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace CheckProgram {

using namespace Qt::StringLiterals;
using namespace Pop3Script;

// A program with its windows, a first start already behind it and account
// "Test" in the given slot pointing at the given server.
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
        form().show();
    }
    TStammForm& form() { return windows->StammForm; }
    Variabel& state() { return windows->state; }
    void account(int slot, const QString& name, const QByteArray& host, quint16 port, const QString& user = u"u"_s,
                 const QString& password = u"p"_s)
    {
        state().Konto[slot] = name;
        state().Host[slot] = QString::fromLatin1(host);
        state().Port[slot] = port;
        state().UserID[slot] = user;
        state().Passwort[slot] = password;
        form().Anzeige_Setzen();
        form().Konten->setEditText(name);
    }
    void check() { QVERIFY(clickCheck(form())); }
    QStringList log() const { return windows->BerichtForm->lines(); }
    QString text(quint16 n) { return form().GetText(n); }
    QStringList column(int c)
    {
        QStringList cells;
        for (int r = 1; r < form().Tabelle->RowCount(); ++r)
            cells.append(form().Tabelle->Cells(c, r));
        return cells;
    }
};

// Every message's LIST line, then its summary.
inline FakeScript listing(const QList<std::tuple<int, QByteArray, QByteArray>>& messages)
{
    FakeScript script = client("LIST") + server("+OK");
    for (qsizetype i = 0; i < messages.size(); ++i)
        script += server(QByteArray::number(i + 1) + ' ' + QByteArray::number(std::get<0>(messages[i])));
    script += server(".");
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const auto& [size, from, subject] = messages[i];
        Q_UNUSED(size);
        script += top(int(i + 1), {"From: " + from, "Subject: " + subject});
    }
    return script;
}

// What the commands that talk to the server show: enabled or not, tool bar
// buttons first, then the menu items.
inline QList<bool> serverCommandsEnabled(TStammForm& f)
{
    QList<bool> enabled;
    for (QToolButton* b : {f.SBCheck, f.SBDelete, f.SBExamine, f.SBCheck_All})
        enabled << b->isEnabled();
    for (QAction* a : {f.Check1, f.Delete1, f.Examine1, f.Examineall1, f.Restore1})
        enabled << a->isEnabled();
    return enabled;
}

inline const QList<bool> kAllLocked(9, false);
inline const QList<bool> kAllFree(9, true);

} // namespace CheckProgram
