#pragma once

#include "SecretStore.h"
#include "Variabel.h"

#include <QString>
#include <functional>

class SettingsStore;

// Keeps the account passwords the user asked to keep ("Passwort_Sichern") in
// the desktop's secret store, one entry per account, and never in the
// settings file. Passwords are read only when a check needs one. When no
// store can be reached the user is told once per run; passwords then live in
// memory for the run only, but one that an earlier version left in the
// settings file stays there (and the user is told so) until a store takes it.
class PasswordKeeper
{
public:
    explicit PasswordKeeper(Variabel& state) : V(state) {}

    // Receives the log lines (the log window).
    std::function<void(const QString& line)> Log;
    // Shows the user a warning (the window's message box); the matching log
    // line has gone to Log just before.
    std::function<void(const QString& text)> Tell;

    // The name of a slot's entry: description, user id and host, so the user
    // recognises it in the desktop's password manager.
    static QString accountName(const Variabel& state, int slot);

    // Moves passwords found in the settings file of an earlier version into
    // the store; each leaves the file only once the store has taken it.
    void migrate(SettingsStore& settings);
    // Fills an unknown password of the slot from the store. Quietly, a store
    // found unavailable is told about only at the next call that is not quiet.
    void fetch(int slot, bool quietly = false);
    // Stores the slot's password; previousAccount names an entry the slot had
    // under an earlier name, removed once the new one is written.
    void keep(int slot, const QString& previousAccount = QString());
    // Brings the store in line with what the settings window changed.
    void settingsChanged(const Variabel& before);
    // Whether the store failed in this run and is no longer asked.
    bool Unavailable() const { return m_unavailable; }

private:
    // The outcome of one call to the store, Unavailable without asking it
    // again once it has failed in this run.
    SecretStore::Result ask(const std::function<SecretStore::Result(SecretStore&)>& call);
    // The same without telling the user when the store turns out unavailable.
    SecretStore::Result askQuietly(const std::function<SecretStore::Result(SecretStore&)>& call);
    // Once per run: the store is unavailable; accounts names those whose
    // password stays in the settings file, if any.
    void tellUnavailable(const QStringList& accounts);
    void remove(const QString& account);

    Variabel& V;
    bool m_unavailable = false;
    QString m_reason;
    bool m_toldUnavailable = false;
    bool m_toldKeptInFile = false;
};
