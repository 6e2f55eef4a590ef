#include "FWLanguageLink.h"

using namespace Qt::StringLiterals;

QString TFWLanguageLink::LanguageCodeLetter() const
{
    return m_language ? m_language->codeLetter() : m_letter;
}

void TFWLanguageLink::setLanguageCodeLetter(const QString& letter)
{
    m_letter = letter.toUpper() == u"D"_s ? u"D"_s : u"E"_s;
}

bool TFWLanguageLink::isGerman() const
{
    return LanguageCodeLetter() == u"D"_s;
}
