#include "ProgramWindows.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QIcon>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Postrella"_s);
    QApplication::setApplicationDisplayName(u"Postrella"_s);
    QApplication::setOrganizationName(u"Fernwick"_s);
    // Every window without an icon of its own (all of them) shows this one;
    // the desktop entry finds the same picture in the icon theme.
    QApplication::setDesktopFileName(u"postrella"_s);
    QIcon icon;
    icon.addFile(u":/icons/postrella-48.png"_s);
    icon.addFile(u":/icons/postrella-256.png"_s);
    QApplication::setWindowIcon(icon);

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
