#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// The per-user store of the program's settings. On Windows this is the
// registry key "Software\Fernwick\FW-Postrella" under HKEY_CURRENT_USER; on
// other systems an INI file in the user's configuration folder. Keys are given
// as registry paths ("Software\Fernwick\FW-Postrella\CI\TFWLanguage") or
// relative to the program key ("Programm", "CI\TFWLanguage"); every value is text.
class SettingsStore
{
public:
    static const QString ProgramKey; // "Software\Fernwick\FW-Postrella"

    // The user's store, or the file set by setDefaultFile().
    SettingsStore();
    // A store kept in the given INI file.
    explicit SettingsStore(const QString& iniFile);
    ~SettingsStore();

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Redirects every default-constructed store to a file (tests); an empty
    // path returns to the user's real store.
    static void setDefaultFile(const QString& iniFile);

    bool keyExists(const QString& key) const;
    QStringList subKeys(const QString& key) const;
    QStringList valueNames(const QString& key) const;
    std::optional<QString> readString(const QString& key, const QString& name) const;
    void writeString(const QString& key, const QString& name, const QString& value);
    void deleteValue(const QString& key, const QString& name);
    void deleteKey(const QString& key);

    // Writes pending changes to disk; the file is readable by its owner only
    // because it holds passwords. Returns false when the store cannot be written.
    bool sync();

    QString fileName() const;

private:
    static QString groupOf(const QString& key);
    static QString keyOf(const QString& key, const QString& name);
    void restrictPermissions();

    std::unique_ptr<QSettings> m_settings;
};
