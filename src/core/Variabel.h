#pragma once

#include "CertificateTrust.h"

#include <QString>
#include <QStringList>
#include <array>

class SettingsStore;

// The program-wide state: the settings switches, the 25 account slots and the
// counters of the current check. Read from the settings store once at start,
// changed in memory by the windows, written back once at close.
struct Variabel
{
    static constexpr int SlotCount = 25;
    template <typename T> using Slots = std::array<T, SlotCount + 1>; // slots count from 1; index 0 is unused

    QString Pfad;
    QString Meldung;
    bool Hints = true;
    bool Startschirm = true;
    QString Angabe = QStringLiteral("KByte");
    QString Client;
    bool Loeschen_Betreff = false;
    bool Loeschen_Betreff_Eigen = false;
    bool Loeschen_Absender = false;
    bool Passwort_Sichern = false;
    bool First = true;
    bool Passwort_Neu = false;
    qint32 Anzahl_Betreff = 0;
    qint32 Anzahl_Betreff_Eigen = 0;
    qint32 Anzahl_Absender = 0;
    qint32 FensterTop = 25;
    qint32 FensterLeft = 25;
    qint32 FensterWidth = 490;
    qint32 FensterHeight = 330;
    qint32 FensterStatus = 0;
    // Scheduled checks in the background: on or off, minutes between two
    // checks of an account (1 to 1440), whether they delete condemned
    // messages at once, and whether closing the window keeps the program in
    // the tray.
    bool Automatisch = false;
    qint32 Intervall = 15;
    static constexpr qint32 IntervallMin = 1;
    static constexpr qint32 IntervallMax = 1440;
    bool Automatisch_Loeschen = false;
    bool In_Tray = false;
    // How long a connection waits for the server, the user's and the scheduled ones alike.
    static constexpr int TimeOut = 20000;
    // File name of the language file in use, or the one chosen in the
    // settings for the next start; written at close, read at start.
    QString Sprache;

    Slots<QString> Konto;
    Slots<qint32> Port = [] {
        Slots<qint32> ports;
        ports.fill(110);
        return ports;
    }();
    Slots<QString> Host;
    Slots<QString> UserID;
    Slots<QString> Passwort;
    // How the account's connection is secured: one of SecurityChoices.
    Slots<QString> Sicherheit = [] {
        Slots<QString> choices;
        choices.fill(QStringLiteral("Keine"));
        return choices;
    }();
    // SHA-256 fingerprint (64 lowercase hex digits) of a certificate the user
    // chose to trust for the account; empty when none.
    Slots<QString> Zertifikat;
    // The "host:port" that certificate was trusted for, and the errors it
    // showed then (empty for a trust stored by an older version).
    Slots<QString> Zertifikat_Server;
    Slots<QString> Zertifikat_Fehler;
    // How the account logs on: "Passwort" (also when empty) or "OAuth2"; for
    // OAuth2 the provider ("Microsoft", "Google", "Eigener") and, for
    // "Eigener", its authorization and token URLs, client id and scope. The
    // client id also overrides the one built in for the two providers.
    Slots<QString> Anmeldung = [] {
        Slots<QString> kinds;
        kinds.fill(QStringLiteral("Passwort"));
        return kinds;
    }();
    Slots<QString> OAuthAnbieter;
    Slots<QString> OAuthAutorisierung;
    Slots<QString> OAuthToken;
    Slots<QString> OAuthClient;
    Slots<QString> OAuthScope;
    // 1 when the account takes part in the scheduled checks.
    Slots<qint32> Automatisch_Konto = [] {
        Slots<qint32> on;
        on.fill(1);
        return on;
    }();

    // TLS from the first byte, STLS after the greeting, plain.
    static const QString SecurityTls;
    static const QString SecurityStartTls;
    static const QString SecurityNone;
    static QStringList SecurityChoices();
    // The choice the text names. No text is "Keine", so accounts stored
    // before the choice existed keep working as they did; any other text is
    // "SSL/TLS", the safe choice (see knownSecurity).
    static QString securityChoice(const QString& text);
    // The choices as the interface shows them: the stored values, with
    // "Keine" in the interface's language.
    static QString securityShown(const QString& stored);
    static QStringList SecurityShownChoices();
    static QString securityFromShown(const QString& shown);
    // Whether the text is one of the choices or empty.
    static bool knownSecurity(const QString& text);
    static const QString LogOnPassword;
    static const QString LogOnOAuth2;
    static QStringList LogOnChoices();
    // As the interface shows them; "OAuth2" reads the same in both languages.
    static QString logOnShown(const QString& stored);
    static QStringList LogOnShownChoices();
    // Whether the slot logs on with OAuth2; any other text is the password.
    bool usesOAuth2(int slot) const { return Anmeldung[slot] == LogOnOAuth2; }
    // The port a POP3 server listens on for the choice.
    static qint32 defaultPort(const QString& security);

    // Reads every stored value; missing or unreadable values give the defaults.
    void load(const SettingsStore& store);
    // Writes every stored value but the passwords, which never go into the
    // settings file; when they are not to be kept, any stored earlier are removed.
    void save(SettingsStore& store) const;

    // The certificate trust of the account, and storing a trust given for it.
    TCertificateTrust certificateTrust(int slot) const;
    void trustCertificate(int slot, const TCertificateTrust& trust);

    // The slot whose description equals the text, 0 when none does. With
    // duplicate descriptions the last such slot wins.
    int slotOf(const QString& description) const;
};
