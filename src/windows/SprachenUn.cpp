#include "SprachenUn.h"

#include "GradientText.h"
#include "LED.h"
#include "WidgetSetup.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace SprachenUn {

namespace {

constexpr CaptionRow kStammTexts[] = {
    {"SBClose", 5},         {"SBCheck", 8},          {"SBExamine", 9},    {"SBCheck_All", 10}, {"SBDelete", 11},
    {"SBHilfe", 58},        {"OBHilfe_Checker", 58}, {"Help1", 58},       {"Hilfe1", 58},      {"SBeMail", 13},
    {"OB_Speichern", 49},   {"OBAbbrechen", 2},      {"File1", 46},       {"Setup1", 47},      {"Close1", 5},
    {"Action1", 12},        {"Protokoll1", 14},      {"Check1", 8},       {"Examine1", 9},     {"Examineall1", 10},
    {"Delete1", 11},        {"Restore1", 15},        {"Edit1", 16},       {"From1", 18},       {"Subject1", 17},
    {"Informationen1", 57}, {"Sinstiges1", 59},      {"Awards1", 68},     {"Adresse1", 69},    {"Credits1", 70},
    {"AGB1", 71},           {"Rechtliches1", 72},    {"Version1", 74},    {"News1", 75},       {"LEDOnline", 76},
    {"LEDCheck", 8},        {"LEDWaiting", 9},       {"LEDMessages", 79}, {"LEDAbsender", 18}, {"LEDBetreff", 17},
    {"LLAnzahl", 77},       {"LKonto", 78},
};

constexpr CaptionRow kSetupTexts[] = {
    {"TSAllgemein", 59},
    {"TSSoftware", 44},
    {"TSVersand", 80},
    {"CBHints", 64},
    {"CBTips", 65},
    {"GTAblage", 88},
    {"FB_Menu_Start", 81},
    {"FB_Menu_Autostart", 82},
    {"FB_Menu_Favoriten", 83},
    {"FB_Menu_Programme", 84},
    {"FB_Menu_Desktop", 85},
    {"FB_Anlegen", 86},
    {"FB_Entfernen", 87},
    {"GTVersand", 80},
    {"FBPasswort", 89},
    {"LPfad", 90},
    {"SBestaetigen", 1},
    {"SAbbrechen", 2},
    {"OBHilfe", 58},
};

QObject* findControl(QWidget& form, const char* name)
{
    const QString objectName = QString::fromLatin1(name);
    if (form.objectName() == objectName)
        return &form;
    return form.findChild<QObject*>(objectName);
}

void apply(QWidget& form, const CaptionRow* rows, std::size_t count, const TextLookup& GetText)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (QObject* control = findControl(form, rows[i].control))
            setCaption(control, GetText ? GetText(rows[i].textNumber) : QString());
    }
}

} // namespace

void setCaption(QObject* control, const QString& caption)
{
    if (auto* heading = qobject_cast<TGradientText*>(control)) {
        heading->setLines(QStringList{caption});
    } else if (auto* lamp = qobject_cast<TLEDLabel*>(control)) {
        lamp->setCaption(caption);
    } else if (auto* menu = qobject_cast<QMenu*>(control)) {
        menu->setTitle(caption);
    } else if (auto* action = qobject_cast<QAction*>(control)) {
        action->setText(caption);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(caption);
        button->setAccessibleName(caption);
        button->setToolTip(plainToolTip(caption));
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        // The captions come from a language file: never read as markup.
        label->setTextFormat(Qt::PlainText);
        label->setText(caption);
    } else if (auto* page = qobject_cast<QWidget*>(control)) {
        // A tab page: its caption is the tab's text.
        QWidget* stack = page->parentWidget();
        auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
        if (tabs && tabs->indexOf(page) >= 0)
            tabs->setTabText(tabs->indexOf(page), caption);
        page->setAccessibleName(caption);
    }
}

void Texte_Stamm(QWidget& stammForm, const TextLookup& GetText)
{
    apply(stammForm, kStammTexts, std::size(kStammTexts), GetText);
}

void Texte_Setup(QWidget& setupForm, const TextLookup& GetText)
{
    apply(setupForm, kSetupTexts, std::size(kSetupTexts), GetText);
}

} // namespace SprachenUn
