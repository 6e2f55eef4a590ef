#include "StammUn.h"

TStammForm::TStammForm(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Postrella"));
}
