#include "ProgramFolder.h"

#include <QCoreApplication>

namespace {

QString& overrideFolder()
{
    static QString folder;
    return folder;
}

QString withoutTrailingSeparator(QString folder)
{
    // The root of a drive or file system keeps its own form ("C:", "/").
    if (folder.size() > 1 && (folder.endsWith(u'/') || folder.endsWith(u'\\')))
        folder.chop(1);
    return folder;
}

} // namespace

namespace ProgramFolder {

QString path()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return withoutTrailingSeparator(QCoreApplication::applicationDirPath());
}

void setOverride(const QString& folder)
{
    overrideFolder() = withoutTrailingSeparator(folder);
}

QString file(const QString& relativePart)
{
    QString part = relativePart;
    part.replace(u'\\', u'/');
    const QString base = path();
    if (base.endsWith(u'/'))
        return base + part.mid(part.startsWith(u'/') ? 1 : 0);
    return base + part;
}

} // namespace ProgramFolder
