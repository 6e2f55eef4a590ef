#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

QString& overrideFolder()
{
    static QString folder;
    return folder;
}

// The layout is decided once for a program folder: a probe file per path
// lookup would be needless work, and the answer must not change mid-run.
std::optional<bool>& portableDecision()
{
    static std::optional<bool> decision;
    return decision;
}

QString withoutTrailingSeparator(QString folder)
{
    // The root of a drive or file system keeps its own form ("C:", "/").
    if (folder.size() > 1 && (folder.endsWith(u'/') || folder.endsWith(u'\\')))
        folder.chop(1);
    return folder;
}

QString joined(const QString& base, const QString& relativePart)
{
    QString part = relativePart;
    part.replace(u'\\', u'/');
    if (base.endsWith(u'/'))
        return base + part.mid(part.startsWith(u'/') ? 1 : 0);
    return base + part;
}

// What the program writes may hold mail of its user: the folders it creates
// for it are open to that user alone.
QString privateFolder(QStandardPaths::StandardLocation base, const QString& sub)
{
    const QString root = QStandardPaths::writableLocation(base);
    if (root.isEmpty())
        return QString();
    const QString own = root + u"/Postrella"_s;
    const QString folder = own + u'/' + sub;
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    // Made open to the owner alone as they are created, not a moment later.
    QDir().mkpath(root);
    for (const QString& path : {own, folder}) {
        if (!QFileInfo(path).isDir())
            QDir().mkdir(path, ownerOnly);
    }
    QFile::setPermissions(own, ownerOnly);
    QFile::setPermissions(folder, ownerOnly);
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
    portableDecision().reset();
}

QString dataPath()
{
    const QString program = path();
    if (QFileInfo(joined(program, u"/language"_s)).isDir())
        return program;
    const QString installed = QDir::cleanPath(joined(program, u"/../share/postrella"_s));
    if (QFileInfo(installed).isDir())
        return installed;
    // Nothing found: the messages about missing files name the program folder.
    return program;
}

QString file(const QString& relativePart)
{
    return joined(dataPath(), relativePart);
}

bool canCreateFiles(const QString& folder)
{
    QTemporaryFile probe(joined(folder, u"/.postrella-write-test-XXXXXX"_s));
    return probe.open();
}

bool isPortable()
{
    if (!portableDecision()) {
        // An installed program never writes into the installation, even when
        // run by an administrator who could.
        const QString program = path();
        portableDecision() = dataPath() == program && canCreateFiles(program);
    }
    return *portableDecision();
}

QString scratchFolder()
{
    if (isPortable())
        return joined(path(), u"/temp"_s);
    return privateFolder(QStandardPaths::GenericCacheLocation, u"temp"_s);
}

QString unpackedHelpFolder()
{
    if (isPortable())
        return joined(path(), u"/help"_s);
    return privateFolder(QStandardPaths::GenericCacheLocation, u"help"_s);
}

QString userList(const QString& fileName)
{
    if (isPortable())
        return joined(path(), u"/init/"_s + fileName);
    const QString folder = privateFolder(QStandardPaths::GenericDataLocation, u"init"_s);
    if (folder.isEmpty())
        return file(u"\\init\\"_s + fileName);
    const QString own = folder + u'/' + fileName;
    const QFileInfo ownInfo(own);
    if (!ownInfo.exists() && !ownInfo.isSymLink()) {
        const QString shipped = file(u"\\init\\"_s + fileName);
        if (QFile::copy(shipped, own))
            QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner);
    }
    return own;
}

} // namespace ProgramFolder
