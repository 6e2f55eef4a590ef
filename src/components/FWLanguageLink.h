#pragma once

#include "FWLanguageUnit.h"

#include <QPointer>
#include <QString>

// The link every component of the family keeps to the language component
// (published as Language and LanguageCodeLetter): it only borrows the code
// letter of the loaded file, which picks German or English built-in texts.
class TFWLanguageLink
{
public:
    TFWLanguage* Language() const { return m_language.data(); }
    void setLanguage(TFWLanguage* language) { m_language = language; }

    // The linked component's letter while one is set, the own letter otherwise.
    QString LanguageCodeLetter() const;
    // Stores "D" for "d" or "D", "E" for anything else.
    void setLanguageCodeLetter(const QString& letter);

    // German texts only for exactly "D": no trimming, no case folding.
    bool isGerman() const;

private:
    QPointer<TFWLanguage> m_language;
    QString m_letter = QStringLiteral("E");
};
