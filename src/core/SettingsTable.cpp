#include "SettingsTable.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace SettingsTable {

const std::vector<Entry>& entries()
{
    static const std::vector<Entry> table = {
        {u"Programm"_s, u"Hints"_s, Kind::Boolean, u"1"_s, &Variabel::Hints},
        {u"Programm"_s, u"Startschirm"_s, Kind::Boolean, u"1"_s, &Variabel::Startschirm},
        {u"Programm"_s, u"Sprache"_s, Kind::Text, QString(), &Variabel::Sprache, false},
        {u"Programm"_s, u"Angabe"_s, Kind::Text, u"KByte"_s, &Variabel::Angabe},
        {u"Programm"_s, u"Client"_s, Kind::Text, QString(), &Variabel::Client},
        {u"Loeschen"_s, u"Betreff"_s, Kind::Boolean, u"0"_s, &Variabel::Loeschen_Betreff},
        {u"Loeschen"_s, u"Betreff_Eigen"_s, Kind::Boolean, u"0"_s, &Variabel::Loeschen_Betreff_Eigen},
        {u"Loeschen"_s, u"Absender"_s, Kind::Boolean, u"0"_s, &Variabel::Loeschen_Absender},
        {u"Programm"_s, u"First"_s, Kind::Boolean, u"1"_s, &Variabel::First},
        {u"Programm"_s, u"Passwort_Sichern"_s, Kind::Boolean, u"0"_s, &Variabel::Passwort_Sichern},
        {u"Programm"_s, u"FensterTop"_s, Kind::Integer, u"25"_s, &Variabel::FensterTop},
        {u"Programm"_s, u"FensterHeight"_s, Kind::Integer, u"330"_s, &Variabel::FensterHeight},
        {u"Programm"_s, u"FensterLeft"_s, Kind::Integer, u"25"_s, &Variabel::FensterLeft},
        {u"Programm"_s, u"FensterWidth"_s, Kind::Integer, u"490"_s, &Variabel::FensterWidth},
        {u"Programm"_s, u"FensterStatus"_s, Kind::Integer, u"0"_s, &Variabel::FensterStatus},
        {u"eMail"_s, u"Konto"_s, Kind::Text, QString(), &Variabel::Konto},
        {u"eMail"_s, u"Port"_s, Kind::Integer, u"110"_s, &Variabel::Port},
        {u"eMail"_s, u"Host"_s, Kind::Text, QString(), &Variabel::Host},
        {u"eMail"_s, u"UserID"_s, Kind::Text, QString(), &Variabel::UserID},
        {u"eMail"_s, u"Passwort"_s, Kind::Text, QString(), &Variabel::Passwort, true, Write::Never},
        {u"eMail"_s, u"Sicherheit"_s, Kind::Text, u"Keine"_s, &Variabel::Sicherheit},
        {u"eMail"_s, u"Zertifikat"_s, Kind::Text, QString(), &Variabel::Zertifikat},
        {u"eMail"_s, u"Zertifikat_Server"_s, Kind::Text, QString(), &Variabel::Zertifikat_Server},
        {u"eMail"_s, u"Zertifikat_Fehler"_s, Kind::Text, QString(), &Variabel::Zertifikat_Fehler},
        {u"eMail"_s, u"Anmeldung"_s, Kind::Text, u"Passwort"_s, &Variabel::Anmeldung},
        {u"eMail"_s, u"OAuthAnbieter"_s, Kind::Text, QString(), &Variabel::OAuthAnbieter},
        {u"eMail"_s, u"OAuthAutorisierung"_s, Kind::Text, QString(), &Variabel::OAuthAutorisierung},
        {u"eMail"_s, u"OAuthToken"_s, Kind::Text, QString(), &Variabel::OAuthToken},
        {u"eMail"_s, u"OAuthClient"_s, Kind::Text, QString(), &Variabel::OAuthClient},
        {u"eMail"_s, u"OAuthScope"_s, Kind::Text, QString(), &Variabel::OAuthScope},
        {u"Programm"_s, u"Automatisch"_s, Kind::Boolean, u"0"_s, &Variabel::Automatisch},
        {u"Programm"_s, u"Intervall"_s, Kind::Integer, u"15"_s, &Variabel::Intervall},
        {u"Programm"_s, u"Automatisch_Loeschen"_s, Kind::Boolean, u"0"_s, &Variabel::Automatisch_Loeschen},
        {u"Programm"_s, u"In_Tray"_s, Kind::Boolean, u"0"_s, &Variabel::In_Tray},
        {u"eMail"_s, u"Automatisch"_s, Kind::Integer, u"1"_s, &Variabel::Automatisch_Konto},
    };
    return table;
}

namespace {

// Decimal only: an optional sign and digits that fit 32 bits, nothing else.
std::optional<qint32> parseInteger(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed.at(i);
        const bool sign = i == 0 && (c == u'-' || c == u'+') && trimmed.size() > 1;
        if (!sign && (c < u'0' || c > u'9'))
            return std::nullopt;
    }
    bool ok = false;
    const qint32 value = trimmed.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

qint32 toInteger(const QString& text, qint32 defaultValue)
{
    return parseInteger(text).value_or(defaultValue);
}

bool toBoolean(const QString& text, bool defaultValue)
{
    const std::optional<qint32> value = parseInteger(text);
    return value ? *value != 0 : defaultValue;
}

QString fromBoolean(bool value)
{
    return value ? u"1"_s : u"0"_s;
}

} // namespace SettingsTable
