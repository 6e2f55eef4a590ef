#pragma once

#include "SecretStore.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

// A secret store in memory, so that no test reaches the user's keyring. It
// can be made unreachable, as a desktop without a keyring is.
class MemorySecretStore : public SecretStore
{
public:
    Result read(const QString& account) override;
    Result write(const QString& account, const QString& password) override;
    Result remove(const QString& account) override;

    QMap<QString, QString> entries;
    bool reachable = true;
    int calls = 0;
};

// A private copy of the built program folder, a private settings store, a
// secret store in memory and private user folders (XDG_DATA_HOME,
// XDG_CACHE_HOME) for one test function; all are removed again when the
// object goes.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    QString programFolder() const;
    QString settingsFile() const;
    QString path(const QString& relative) const;
    QString dataHome() const;
    QString cacheHome() const;
    bool isValid() const { return m_dir.isValid(); }
    MemorySecretStore& secrets() { return m_secrets; }

private:
    QTemporaryDir m_dir;
    MemorySecretStore m_secrets;
    QByteArray m_oldDataHome;
    QByteArray m_oldCacheHome;
    QByteArray m_oldLanguage;
};

// Makes a folder tree read-only for this process the way it is for an
// ordinary user in a system folder: the write bits go, and a test running as
// root also gives up its power to write regardless of them. The program folder
// is looked at afresh. Everything is given back when the object goes.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& folder);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // False when the folder could still be written to; the test should skip.
    bool isReadOnly() const;

private:
    QString m_folder;
    bool m_droppedOverride = false;
};
