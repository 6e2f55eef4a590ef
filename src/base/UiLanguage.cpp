#include "UiLanguage.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace {

bool& german()
{
    static bool value = true;
    return value;
}

} // namespace

namespace UiLanguage {

void setCodeLetter(const QString& letter)
{
    german() = letter == u"D"_s;
    QLocale::setDefault(german() ? QLocale(QLocale::German, QLocale::Germany) : QLocale(QLocale::English));
}

bool isGerman()
{
    return german();
}

} // namespace UiLanguage
