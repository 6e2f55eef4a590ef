#include "FWProgramLinksUnit.h"

#include "ComponentInfo.h"
#include "ShortcutPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

ShortcutPlatform::Folder folderOf(TFWProgramLinksLocations location)
{
    using Folder = ShortcutPlatform::Folder;
    switch (location) {
    case TFWProgramLinksLocations::Menu_Autostart:
        return Folder::Startup;
    case TFWProgramLinksLocations::Menu_Start:
        return Folder::StartMenu;
    case TFWProgramLinksLocations::Menu_Programs:
        return Folder::Programs;
    case TFWProgramLinksLocations::Menu_Favorites:
        return Folder::Favorites;
    case TFWProgramLinksLocations::Menu_Desktop:
        return Folder::Desktop;
    case TFWProgramLinksLocations::Menu_SendTo:
        return Folder::SendTo;
    }
    return Folder::Desktop;
}

} // namespace

TFWProgramLinks::TFWProgramLinks(QObject* parent) : QObject(parent) {}

void TFWProgramLinks::setSubFolder(const QString& folder)
{
    m_subFolder = folder;
    if (m_subFolder.endsWith(u'\\') || m_subFolder.endsWith(u'/'))
        m_subFolder.chop(1);
}

QString TFWProgramLinks::LocationFolder() const
{
    return ShortcutPlatform::native().folder(folderOf(m_location));
}

bool TFWProgramLinks::EnsureFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    QDir().mkpath(path);
    return QFileInfo(path).isDir();
}

QString TFWProgramLinks::ShortcutPath() const
{
    const QString folder = LocationFolder();
    if (folder.isEmpty())
        return QString();
    // The sub-folder may come in the program's backslash form.
    QString sub = m_subFolder;
    sub.replace(u'\\', u'/');
    return QDir::cleanPath(folder + sub + u'/' + ShortcutPlatform::native().linkFileName(m_shortcutFile));
}

bool TFWProgramLinks::CreateLink()
{
    if (m_programFile.isEmpty() || m_shortcutFile.isEmpty() || m_shortcutDescription.isEmpty())
        return false;
    const ShortcutPlatform& platform = ShortcutPlatform::native();
    const QString program = platform.programPath(m_programFile);
    if (program.isEmpty())
        return false;
    const QString folder = LocationFolder();
    if (folder.isEmpty())
        return false;
    QString sub = m_subFolder;
    sub.replace(u'\\', u'/');
    if (!EnsureFolder(folder + sub))
        return false;

    // The desktop shows a shortcut by its file name.
    QString name = QFileInfo(m_shortcutFile).completeBaseName();
    if (name.isEmpty())
        name = m_shortcutDescription;
    // Unlike the shell-link save this replaces, a failed write is a failure.
    return platform.writeLink(ShortcutPath(), folderOf(m_location), {program, name, m_shortcutDescription});
}

bool TFWProgramLinks::RemoveLink()
{
    if (m_shortcutFile.isEmpty())
        return false;
    const QString path = ShortcutPath();
    // Without a folder there is no place to look; guessing one could delete a stranger's file.
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!info.isFile() && !info.isSymLink())
        return true;
    return QFile::remove(path);
}

void TFWProgramLinks::WriteComponentInfo(const QString& programKey) const
{
    ComponentInfo::write(programKey, u"TFWProgramLinks"_s, CIVersion(), CILastCompile());
}
