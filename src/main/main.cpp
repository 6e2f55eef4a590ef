#include "ProgramWindows.h"
#include "SingleInstance.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Postrella"_s);
    QApplication::setApplicationDisplayName(u"Postrella"_s);
    QApplication::setOrganizationName(u"Fernwick"_s);

    SingleInstance instance;
    if (!instance.acquireOrTell())
        return 0;

    ProgramWindows windows;
    TStammForm& StammForm = windows.StammForm;

    // Closing the main window ends the program, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&StammForm, &TStammForm::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    StammForm.show();
    return QApplication::exec();
}
