#include "PasswordKeeper.h"

#include "OAuthAuthorizer.h"
#include "SettingsStore.h"
#include "UiLanguage.h"

using namespace Qt::StringLiterals;

using Outcome = SecretStore::Outcome;

QString PasswordKeeper::accountName(const Variabel& state, int slot)
{
    return state.Konto[slot] + u" ("_s + state.UserID[slot] + u'@' + state.Host[slot] + u')';
}

SecretStore::Result PasswordKeeper::askQuietly(const std::function<SecretStore::Result(SecretStore&)>& call)
{
    // A store that failed once is not asked again in this run: every further
    // try could wait for the time-out or put the unlock prompt up again.
    if (m_unavailable)
        return {Outcome::Unavailable, {}, m_reason};
    SecretStore::Result result = call(SecretStore::instance());
    if (result.outcome != Outcome::Unavailable)
        return result;
    m_unavailable = true;
    m_reason = result.reason.isEmpty()
                   ? byLanguage(u"Kein Schlüsselbund erreichbar."_s, u"No keyring can be reached."_s)
                   : result.reason;
    return result;
}

SecretStore::Result PasswordKeeper::ask(const std::function<SecretStore::Result(SecretStore&)>& call)
{
    const SecretStore::Result result = askQuietly(call);
    if (result.outcome == Outcome::Unavailable)
        tellUnavailable({});
    return result;
}

void PasswordKeeper::tellUnavailable(const QStringList& accounts)
{
    // Told when the store is found missing: at once when it refuses, after
    // the store's time-out only when it never answers, since waiting is then
    // the only way to tell a missing store from a slow unlock prompt.
    const bool inFile = !accounts.isEmpty();
    if (inFile ? m_toldKeptInFile : m_toldUnavailable)
        return;
    const bool first = !m_toldUnavailable;
    m_toldUnavailable = true;
    m_toldKeptInFile = m_toldKeptInFile || inFile;
    const QString names = u'"' + accounts.join(u"\", \""_s) + u'"';
    const QString staying =
        byLanguage(u"Die Passwörter von "_s, u"The passwords of "_s) + names +
        byLanguage(u" aus einer früheren Version bleiben darum als Klartext in der Einstellungsdatei, bis "_s,
                   u" from an earlier version therefore stay as plain text in the settings file until "_s) +
        byLanguage(u"ein Schlüsselbund erreichbar ist; dann werden sie dorthin verschoben."_s,
                   u"a keyring can be reached; then they are moved there."_s);
    if (Log)
        Log(byLanguage(u"Error: Schlüsselbund nicht erreichbar: "_s, u"Error: keyring not reachable: "_s) + m_reason +
            (inFile ? u' ' + staying : QString()));
    const QString intro =
        first ? byLanguage(u"Der Schlüsselbund des Desktops ist nicht erreichbar, die Passwörter können dort "_s,
                           u"The desktop's keyring cannot be reached, the passwords cannot be "_s) +
                    byLanguage(u"nicht gespeichert werden:\r"_s, u"stored there:\r"_s) + m_reason + u'\r'
              : byLanguage(u"Der Schlüsselbund des Desktops ist weiterhin nicht erreichbar.\r"_s,
                           u"The desktop's keyring still cannot be reached.\r"_s);
    if (Tell)
        Tell(intro + (inFile
                          ? staying
                          : byLanguage(u"Postrella fragt das Passwort bei der Prüfung ab und behält es nur, bis das "_s,
                                       u"Postrella asks for the password at the check and keeps it only until the "_s) +
                                byLanguage(u"Programm endet."_s, u"program ends."_s)));
}

void PasswordKeeper::migrate(SettingsStore& settings)
{
    // Without the switch the passwords of the old file serve this run and are
    // removed when the program closes.
    if (!V.Passwort_Sichern)
        return;
    bool changed = false;
    // Passwords the store did not take stay in the file: nothing is lost.
    QStringList staying;
    for (int n = 1; n <= Variabel::SlotCount; ++n) {
        const QString name = u"Passwort"_s + QString::number(n);
        const std::optional<QString> stored = settings.readString(u"eMail"_s, name);
        if (!stored)
            continue;
        if (!V.Passwort[n].isEmpty()) {
            const QString account = accountName(V, n);
            const QString password = V.Passwort[n];
            if (askQuietly([&](SecretStore& store) { return store.write(account, password); }).outcome !=
                Outcome::Done) {
                staying.append(V.Konto[n].isEmpty() ? name : V.Konto[n]);
                continue;
            }
        }
        settings.deleteValue(u"eMail"_s, name);
        changed = true;
    }
    if (changed)
        settings.sync();
    if (!staying.isEmpty())
        tellUnavailable(staying);
}

void PasswordKeeper::fetch(int slot, bool quietly)
{
    if (!V.Passwort_Sichern || !V.Passwort[slot].isEmpty())
        return;
    const QString account = accountName(V, slot);
    const auto read = [&](SecretStore& store) { return store.read(account); };
    const SecretStore::Result found = quietly ? askQuietly(read) : ask(read);
    if (found.outcome == Outcome::Done)
        V.Passwort[slot] = found.password;
}

void PasswordKeeper::keep(int slot, const QString& previousAccount)
{
    if (!V.Passwort_Sichern || V.Konto[slot].isEmpty() || V.Passwort[slot].isEmpty())
        return;
    const QString account = accountName(V, slot);
    const QString password = V.Passwort[slot];
    if (ask([&](SecretStore& store) { return store.write(account, password); }).outcome != Outcome::Done)
        return;
    if (!previousAccount.isEmpty() && previousAccount != account)
        remove(previousAccount);
}

void PasswordKeeper::remove(const QString& account)
{
    ask([&](SecretStore& store) { return store.remove(account); });
}

void PasswordKeeper::settingsChanged(const Variabel& before)
{
    for (int n = 1; n <= Variabel::SlotCount; ++n) {
        // A refresh token opens the mailbox as a password does: it goes with
        // the account, its name or its OAuth2 log-on.
        if (before.usesOAuth2(n) && !before.Konto[n].isEmpty() &&
            (!V.usesOAuth2(n) || V.Konto[n].isEmpty() || accountName(before, n) != accountName(V, n)))
            remove(OAuthAuthorizer::refreshEntry(accountName(before, n)));
        const bool wasKept = before.Passwort_Sichern && !before.Konto[n].isEmpty();
        const QString oldAccount = wasKept ? accountName(before, n) : QString();
        if (!V.Passwort_Sichern || V.Konto[n].isEmpty()) {
            // The switch turned off or the account removed: its entry goes.
            if (wasKept)
                remove(oldAccount);
            continue;
        }
        const QString newAccount = accountName(V, n);
        const bool renamed = wasKept && oldAccount != newAccount;
        const bool passwordChanged = before.Passwort[n] != V.Passwort[n];
        if (V.Passwort[n].isEmpty()) {
            // Cleared in the settings window. With none held there was none
            // in the store either: the window fetched them when it was shown.
            if (passwordChanged && wasKept)
                remove(oldAccount);
            continue;
        }
        // A password held for a slot that had no entry (switch just turned
        // on, account named again) goes in as well.
        if (renamed || passwordChanged || !wasKept)
            keep(n, renamed ? oldAccount : QString());
    }
}
