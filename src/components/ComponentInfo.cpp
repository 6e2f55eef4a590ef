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
    store.writeString(key, u"Company"_s, u"Fernwick"_s);
    store.writeString(key, u"Version"_s, version);
    store.writeString(key, u"Last Change"_s, lastChange);
    store.sync();
}

} // namespace ComponentInfo
