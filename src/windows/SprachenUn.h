#pragma once

#include <QString>
#include <functional>

class QObject;
class QWidget;

// Puts the texts of the language file onto the main and settings windows.
// Controls are found by their names, so the tables below are the whole wiring.
namespace SprachenUn {

using TextLookup = std::function<QString(quint16 number)>;

struct CaptionRow
{
    const char* control;
    quint16 textNumber;
};

// Sets the caption of any control the windows use: buttons, labels, lamp
// labels, menus, menu items, tab pages and gradient headings.
void setCaption(QObject* control, const QString& caption);

void Texte_Stamm(QWidget& stammForm, const TextLookup& GetText);
void Texte_Setup(QWidget& setupForm, const TextLookup& GetText);

} // namespace SprachenUn
