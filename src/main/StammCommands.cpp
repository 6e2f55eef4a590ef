// The remaining commands: settings, information, help, mail program, log, close.
#include "BerichtUn.h"
#include "Dialogs.h"
#include "StammUn.h"
#include "UiLanguage.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>

using namespace Qt::StringLiterals;

void TStammForm::Hilfe1Click(QObject* sender)
{
    if (sender == Setup1) {
        needWindows();
        if (m_setup) {
            m_setup->show();
            m_setup->raise();
            m_setup->activateWindow();
        }
    }
    if (sender == Informationen1)
        ShowInfoScreen();
    if (sender == Close1 || sender == SBClose) {
        // A failing disconnect reaches the error box and the window stays open.
        if (disconnectClient(false)) {
            // Beenden ends the program also when closing the window goes to the tray.
            m_quitAsked = true;
            close();
        }
    }
}

void TStammForm::SBHilfeClick(QObject* sender)
{
    if (sender == Hilfe1 || sender == SBHilfe) {
        ShowPage(u"index.htm"_s);
        return;
    }
    const struct
    {
        QObject* sender;
        int context;
    } contexts[] = {
        {OBHilfe_Checker, 1}, {Credits1, 100}, {Adresse1, 101},     {Version1, 102},
        {News1, 103},         {AGB1, 104},     {Rechtliches1, 105}, {Software1, 107},
    };
    for (const auto& entry : contexts) {
        if (sender == entry.sender)
            ShowContext(entry.context);
    }
}

namespace {

// Starts the user's mail program: an executable directly (no shell in
// between), anything else as a document with its associated program.
bool startMailProgram(const QString& client)
{
    const QFileInfo info(client);
    if (info.isFile() && info.isExecutable())
        return QProcess::startDetached(info.absoluteFilePath(), {});
    if (info.exists())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
    // A command stored with arguments, as the settings allow.
    QStringList parts = QProcess::splitCommand(client);
    if (parts.isEmpty())
        return false;
    const QString program = parts.takeFirst();
    return QProcess::startDetached(program, parts);
}

} // namespace

void TStammForm::SBeMailClick()
{
    disconnectClient(true);
    const QString failed = byLanguage(u"Ihr eMail Programm konnte nicht gestartet werden\r"_s,
                                      u"Your mail program could not be started\r"_s) +
                           byLanguage(u"Prüfen Sie die Einstellungen"_s, u"Check the settings"_s);
    if (V.Client.isEmpty() || !startMailProgram(V.Client)) {
        Dialogs::message(Dialogs::Kind::Error, failed);
        return;
    }
    close();
}

void TStammForm::Protokoll1Click()
{
    needWindows();
    if (!m_bericht)
        return;
    m_bericht->show();
    m_bericht->raise();
    m_bericht->activateWindow();
}
