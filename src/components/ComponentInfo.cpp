#include "ComponentInfo.h"

#include "SettingsStore.h"

using namespace Qt::StringLiterals;

namespace ComponentInfo {

void write(const QString& programKey, const QString& className, const QString& version, const QString& lastChange)
{
    QString key = programKey;
    if (key.endsWith(u'\\'))
        key.chop(1);
    key += u"\\CI\\"_s + className;
    SettingsStore store;
    // Every start writes the same records: an unchanged record is left alone,
    // so the start does not wait for the settings file to be saved to disk.
    const std::pair<QString, QString> values[] = {
        {u"Company"_s, u"Fernwick"_s}, {u"Version"_s, version}, {u"Last Change"_s, lastChange}};
    bool changed = false;
    for (const auto& [name, value] : values) {
        if (store.readString(key, name) == value)
            continue;
        store.writeString(key, name, value);
        changed = true;
    }
    if (changed)
        store.sync();
}

} // namespace ComponentInfo
