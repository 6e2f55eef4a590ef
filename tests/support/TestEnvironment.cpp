#include "TestEnvironment.h"

#include "ProgramFolder.h"
#include "SettingsStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace {

void copyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString target = to + u'/' + QDir(from).relativeFilePath(it.filePath());
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else
            QFile::copy(it.filePath(), target);
    }
}

// Only the write bits change, so executables stay executable.
void setWritable(const QString& path, bool writable)
{
    const auto writeBits = QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther;
    const QFile::Permissions mode = QFile::permissions(path) & ~writeBits;
    QFile::setPermissions(path, writable ? mode | QFile::WriteOwner | QFile::WriteUser : mode);
}

void setTreeWritable(const QString& folder, bool writable)
{
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        setWritable(it.next(), writable);
    setWritable(folder, writable);
}

// Root writes into read-only folders through CAP_DAC_OVERRIDE. Clearing it
// from the effective set (it stays permitted) lets the permission bits rule
// this thread, and it can be raised again afterwards.
bool setWriteOverride(bool on)
{
#ifdef Q_OS_LINUX
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned bit = 1u << CAP_DAC_OVERRIDE;
    if (on)
        data[0].effective |= bit & data[0].permitted;
    else
        data[0].effective &= ~bit;
    return syscall(SYS_capset, &header, data) == 0;
#else
    Q_UNUSED(on);
    return false;
#endif
}

QByteArray replaceVariable(const char* name, const QString& value)
{
    const QByteArray old = qgetenv(name);
    qputenv(name, value.toUtf8());
    return old;
}

void restoreVariable(const char* name, const QByteArray& old)
{
    if (old.isEmpty())
        qunsetenv(name);
    else
        qputenv(name, old);
}

} // namespace

TestEnvironment::TestEnvironment()
{
    copyTree(QString::fromUtf8(POSTRELLA_PROGRAM_DIR), programFolder());
    ProgramFolder::setOverride(programFolder());
    SettingsStore::setDefaultFile(settingsFile());
    SecretStore::setInstance(&m_secrets);
    m_oldDataHome = replaceVariable("XDG_DATA_HOME", dataHome());
    m_oldCacheHome = replaceVariable("XDG_CACHE_HOME", cacheHome());
    // The program starts in the system's language; the tests expect German
    // unless they choose otherwise.
    m_oldLanguage = replaceVariable("LC_ALL", u"de_DE.UTF-8"_s);
}

TestEnvironment::~TestEnvironment()
{
    ProgramFolder::setOverride(QString());
    SettingsStore::setDefaultFile(QString());
    SecretStore::setInstance(nullptr);
    restoreVariable("XDG_DATA_HOME", m_oldDataHome);
    restoreVariable("XDG_CACHE_HOME", m_oldCacheHome);
    restoreVariable("LC_ALL", m_oldLanguage);
}

QString TestEnvironment::dataHome() const
{
    return m_dir.filePath(u"data"_s);
}

QString TestEnvironment::cacheHome() const
{
    return m_dir.filePath(u"cache"_s);
}

QString TestEnvironment::programFolder() const
{
    return m_dir.filePath(u"program"_s);
}

QString TestEnvironment::settingsFile() const
{
    return m_dir.filePath(u"config/Fernwick/FW-Postrella.conf"_s);
}

QString TestEnvironment::path(const QString& relative) const
{
    return programFolder() + u'/' + relative;
}

ReadOnlyFolder::ReadOnlyFolder(const QString& folder) : m_folder(folder)
{
    setTreeWritable(m_folder, false);
    m_droppedOverride = setWriteOverride(false);
    ProgramFolder::setOverride(m_folder);
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_droppedOverride)
        setWriteOverride(true);
    setTreeWritable(m_folder, true);
    ProgramFolder::setOverride(m_folder);
}

bool ReadOnlyFolder::isReadOnly() const
{
    return !ProgramFolder::canCreateFiles(m_folder);
}

SecretStore::Result MemorySecretStore::read(const QString& account)
{
    ++calls;
    if (!reachable)
        return {Outcome::Unavailable, {}, u"Kein Secret Service"_s};
    if (!entries.contains(account))
        return {Outcome::NotFound, {}, {}};
    return {Outcome::Done, entries.value(account), {}};
}

SecretStore::Result MemorySecretStore::write(const QString& account, const QString& password)
{
    ++calls;
    if (!reachable)
        return {Outcome::Unavailable, {}, u"Kein Secret Service"_s};
    entries.insert(account, password);
    return {Outcome::Done, {}, {}};
}

SecretStore::Result MemorySecretStore::remove(const QString& account)
{
    ++calls;
    if (!reachable)
        return {Outcome::Unavailable, {}, u"Kein Secret Service"_s};
    return {entries.remove(account) > 0 ? Outcome::Done : Outcome::NotFound, {}, {}};
}
