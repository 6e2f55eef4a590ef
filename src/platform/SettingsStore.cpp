#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

const QString SettingsStore::ProgramKey = u"Software\\Fernwick\\FW-Postrella"_s;

namespace {

QString& defaultFileOverride()
{
    static QString path;
    return path;
}

// QSaveFile keeps the permissions of an existing file, so creating it
// owner-only before the first write keeps the passwords private from the start.
void prepareOwnerOnlyFile(const QString& path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.close();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace

SettingsStore::SettingsStore()
{
    const QString& overridePath = defaultFileOverride();
    if (overridePath.isEmpty())
        m_settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, u"Fernwick"_s,
                                                 u"FW-Postrella"_s);
    else
        m_settings = std::make_unique<QSettings>(overridePath, QSettings::IniFormat);
}

SettingsStore::SettingsStore(const QString& iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{}

SettingsStore::~SettingsStore()
{
    sync();
}

void SettingsStore::setDefaultFile(const QString& iniFile)
{
    defaultFileOverride() = iniFile;
}

QString SettingsStore::groupOf(const QString& key)
{
    QString rest = key;
    if (rest.startsWith(ProgramKey, Qt::CaseInsensitive))
        rest = rest.mid(ProgramKey.size());
    rest.replace(u'\\', u'/');
    while (rest.startsWith(u'/'))
        rest.remove(0, 1);
    while (rest.endsWith(u'/'))
        rest.chop(1);
    return rest;
}

QString SettingsStore::keyOf(const QString& key, const QString& name)
{
    const QString group = groupOf(key);
    return group.isEmpty() ? name : group + u'/' + name;
}

bool SettingsStore::keyExists(const QString& key) const
{
    const QString group = groupOf(key);
    if (group.isEmpty())
        return true;
    const qsizetype slash = group.lastIndexOf(u'/');
    const QString parent = slash < 0 ? QString() : group.left(slash);
    const QString leaf = slash < 0 ? group : group.mid(slash + 1);
    m_settings->beginGroup(parent);
    const bool found = m_settings->childGroups().contains(leaf);
    m_settings->endGroup();
    return found;
}

QStringList SettingsStore::subKeys(const QString& key) const
{
    m_settings->beginGroup(groupOf(key));
    QStringList groups = m_settings->childGroups();
    m_settings->endGroup();
    return groups;
}

QStringList SettingsStore::valueNames(const QString& key) const
{
    m_settings->beginGroup(groupOf(key));
    QStringList keys = m_settings->childKeys();
    m_settings->endGroup();
    return keys;
}

std::optional<QString> SettingsStore::readString(const QString& key, const QString& name) const
{
    const QVariant value = m_settings->value(keyOf(key, name));
    if (!value.isValid())
        return std::nullopt;
    // A hand-edited INI value with commas reads back as a list; it is still one text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u", "_s);
    return value.toString();
}

void SettingsStore::writeString(const QString& key, const QString& name, const QString& value)
{
    prepareOwnerOnlyFile(m_settings->fileName());
    m_settings->setValue(keyOf(key, name), value);
}

void SettingsStore::deleteValue(const QString& key, const QString& name)
{
    m_settings->remove(keyOf(key, name));
}

void SettingsStore::deleteKey(const QString& key)
{
    const QString group = groupOf(key);
    if (!group.isEmpty())
        m_settings->remove(group);
}

bool SettingsStore::sync()
{
    m_settings->sync();
    restrictPermissions();
    return m_settings->status() == QSettings::NoError;
}

QString SettingsStore::fileName() const
{
    return m_settings->fileName();
}

void SettingsStore::restrictPermissions()
{
    const QString path = m_settings->fileName();
    if (QFileInfo::exists(path))
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
