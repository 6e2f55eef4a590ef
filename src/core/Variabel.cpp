#include "Variabel.h"

#include "SettingsStore.h"
#include "SettingsTable.h"
#include "UiLanguage.h"

#include <type_traits>

using namespace Qt::StringLiterals;

namespace {

using SettingsTable::Entry;
using SettingsTable::Kind;

QString slotName(const Entry& entry, int slot)
{
    return entry.name + QString::number(slot);
}

qint32 readInteger(const SettingsStore& store, const QString& section, const QString& name, qint32 fallback)
{
    const std::optional<QString> text = store.readString(section, name);
    return text ? SettingsTable::toInteger(*text, fallback) : fallback;
}

} // namespace

void Variabel::load(const SettingsStore& store)
{
    for (const Entry& entry : SettingsTable::entries()) {
        if (!entry.readAtStart)
            continue;
        std::visit(
            [&](auto member) {
                using Member = std::remove_cvref_t<decltype(this->*member)>;
                if constexpr (std::is_same_v<Member, bool>) {
                    const std::optional<QString> text = store.readString(entry.section, entry.name);
                    const bool fallback = entry.defaultValue == u"1"_s;
                    this->*member = text ? SettingsTable::toBoolean(*text, fallback) : fallback;
                } else if constexpr (std::is_same_v<Member, qint32>) {
                    this->*member = readInteger(store, entry.section, entry.name, entry.defaultValue.toInt());
                } else if constexpr (std::is_same_v<Member, QString>) {
                    this->*member = store.readString(entry.section, entry.name).value_or(entry.defaultValue);
                } else if constexpr (std::is_same_v<Member, Slots<qint32>>) {
                    for (int n = 1; n <= SlotCount; ++n)
                        (this->*member)[n] =
                            readInteger(store, entry.section, slotName(entry, n), entry.defaultValue.toInt());
                } else {
                    for (int n = 1; n <= SlotCount; ++n)
                        (this->*member)[n] =
                            store.readString(entry.section, slotName(entry, n)).value_or(entry.defaultValue);
                }
            },
            entry.field);
    }
}

void Variabel::save(SettingsStore& store) const
{
    for (const Entry& entry : SettingsTable::entries()) {
        if (entry.write == SettingsTable::Write::Never) {
            // Passwords of an earlier version must not outlive the user's choice
            // not to keep them. While they are to be kept, one the secret store
            // has not taken yet stays where it is rather than being lost.
            if (!Passwort_Sichern) {
                for (int n = 1; n <= SlotCount; ++n)
                    store.deleteValue(entry.section, slotName(entry, n));
            }
            continue;
        }
        std::visit(
            [&](auto member) {
                using Member = std::remove_cvref_t<decltype(this->*member)>;
                if constexpr (std::is_same_v<Member, bool>) {
                    store.writeString(entry.section, entry.name, SettingsTable::fromBoolean(this->*member));
                } else if constexpr (std::is_same_v<Member, qint32>) {
                    store.writeString(entry.section, entry.name, QString::number(this->*member));
                } else if constexpr (std::is_same_v<Member, QString>) {
                    store.writeString(entry.section, entry.name, this->*member);
                } else if constexpr (std::is_same_v<Member, Slots<qint32>>) {
                    for (int n = 1; n <= SlotCount; ++n)
                        store.writeString(entry.section, slotName(entry, n), QString::number((this->*member)[n]));
                } else {
                    for (int n = 1; n <= SlotCount; ++n)
                        store.writeString(entry.section, slotName(entry, n), (this->*member)[n]);
                }
            },
            entry.field);
    }
    store.sync();
}

int Variabel::slotOf(const QString& description) const
{
    int found = 0;
    for (int n = 1; n <= SlotCount; ++n) {
        if (Konto[n] == description)
            found = n;
    }
    return found;
}

const QString Variabel::LogOnPassword = QStringLiteral("Passwort");
const QString Variabel::LogOnOAuth2 = QStringLiteral("OAuth2");

QString Variabel::logOnShown(const QString& stored)
{
    return stored == LogOnPassword ? byLanguage(LogOnPassword, u"Password"_s) : stored;
}

QStringList Variabel::LogOnShownChoices()
{
    return {logOnShown(LogOnPassword), LogOnOAuth2};
}

QStringList Variabel::LogOnChoices()
{
    return {LogOnPassword, LogOnOAuth2};
}

const QString Variabel::SecurityTls = QStringLiteral("SSL/TLS");
const QString Variabel::SecurityStartTls = QStringLiteral("STARTTLS");
const QString Variabel::SecurityNone = QStringLiteral("Keine");

QStringList Variabel::SecurityChoices()
{
    return {SecurityTls, SecurityStartTls, SecurityNone};
}

QString Variabel::securityChoice(const QString& text)
{
    if (text.isEmpty())
        return SecurityNone;
    // A value this version does not know must not silently send the password
    // in clear text.
    return SecurityChoices().contains(text) ? text : SecurityTls;
}

QString Variabel::securityShown(const QString& stored)
{
    return stored == SecurityNone ? byLanguage(SecurityNone, u"None"_s) : stored;
}

QStringList Variabel::SecurityShownChoices()
{
    QStringList shown;
    for (const QString& choice : SecurityChoices())
        shown << securityShown(choice);
    return shown;
}

QString Variabel::securityFromShown(const QString& shown)
{
    for (const QString& choice : SecurityChoices()) {
        if (shown == securityShown(choice))
            return choice;
    }
    return securityChoice(shown);
}

bool Variabel::knownSecurity(const QString& text)
{
    return text.isEmpty() || SecurityChoices().contains(text);
}

TCertificateTrust Variabel::certificateTrust(int slot) const
{
    return {Zertifikat[slot], Zertifikat_Server[slot], Zertifikat_Fehler[slot]};
}

void Variabel::trustCertificate(int slot, const TCertificateTrust& trust)
{
    Zertifikat[slot] = trust.Fingerprint;
    Zertifikat_Server[slot] = trust.Server;
    Zertifikat_Fehler[slot] = trust.Errors;
}

qint32 Variabel::defaultPort(const QString& security)
{
    return security == SecurityTls ? 995 : 110;
}
