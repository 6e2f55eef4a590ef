#include "BerichtUn.h"
#include "Dialogs.h"
#include "SingleInstance.h"
#include "StammUn.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Postrella"_s);
    QApplication::setApplicationDisplayName(u"Postrella"_s);
    QApplication::setOrganizationName(u"Fernwick"_s);

    SingleInstance instance;
    if (!instance.acquire()) {
        Dialogs::message(Dialogs::Kind::Plain, u"Software is already in use !"_s);
        return 0;
    }

    // The windows live for the whole run, created in this order.
    Variabel state;
    TStammForm StammForm(state);
    TBerichtForm BerichtForm;
    StammForm.setWindows(&BerichtForm, nullptr);

    // Closing the main window ends the program, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&StammForm, &TStammForm::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    StammForm.show();
    return QApplication::exec();
}
