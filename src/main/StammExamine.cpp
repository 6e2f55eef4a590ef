// Working on the listed messages: delete one, take back all deletions,
// examine one or all.
#include "Dialogs.h"
#include "Pop3Client.h"
#include "StammUn.h"
#include "StringGrid.h"

#include <QAction>
#include <QLabel>
#include <QToolButton>

using namespace Qt::StringLiterals;

bool TStammForm::listMissing(int helpContext)
{
    if (LAnzahl->text() != u"0"_s)
        return false;
    V.Meldung = u"Noch nicht möglich: - Mögliche Fehler:\r"_s + u"1. Sind Sie Online? \r"_s +
                u"2. Richten Sie ein Konto ein. -> Einstellungen RiruvuvUziruz\r"_s +
                u"3. Wählen Sie ein Konto aus.\r"_s + u"4. Rufen Sie mit \"Prüfen\" erst eine Liste ab!\r"_s +
                u"5. Die Verbindung ist unterbrochen -> Erneut auf \"Prüfen\"\r"_s;
    Dialogs::message(Dialogs::Kind::Error, V.Meldung, Dialogs::Ok | Dialogs::Help, helpContext);
    return true;
}

QString TStammForm::confirmationText(int row, quint16 question) const
{
    return GetText(39) + u" \""_s + Tabelle->Cells(5, row) + u"\"\r"_s + GetText(40) + u" \""_s +
           Tabelle->Cells(4, row) + u"\"\r"_s + GetText(question);
}

void TStammForm::SBDeleteClick()
{
    if (listMissing(4))
        return;
    const int r = Tabelle->Row();
    if (Dialogs::message(Dialogs::Kind::Confirmation, confirmationText(r, 41), Dialogs::Yes | Dialogs::No) !=
        Dialogs::Yes)
        return;
    Pop3Client1->DeleteMessage(r);
    Tabelle->setCells(2, r, u"LLL"_s);
}

void TStammForm::Restore1Click()
{
    Pop3Client1->Reset();
}
