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

    TStammForm StammForm;
    StammForm.show();
    return QApplication::exec();
}
