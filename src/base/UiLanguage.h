#pragma once

#include <QString>

// The language of the interface for the layers below the windows, which have
// no language file of their own: the code letter of the language file the
// program started with. German ("D") until start-up sets another, so code
// used on its own keeps its German texts.
namespace UiLanguage {

// Exactly "D" is German, anything else English. Numbers and dates follow:
// the default locale becomes de_DE or English.
void setCodeLetter(const QString& letter);
bool isGerman();

} // namespace UiLanguage

// The text for the interface language.
inline QString byLanguage(const QString& german, const QString& english)
{
    return UiLanguage::isGerman() ? german : english;
}
