#pragma once

#include <QString>

// What a program shortcut needs from the desktop it lives on: where the
// user's special folders are, what a shortcut file is called and looks like,
// and which file actually starts the program. The component that places
// shortcuts knows nothing else about the platform. This build carries the
// freedesktop version (desktop entries); a Windows build supplies its own
// implementation file with shell links instead.
class ShortcutPlatform
{
public:
    enum class Folder
    {
        Startup,
        StartMenu,
        Programs,
        Favorites,
        Desktop,
        SendTo
    };

    struct Link
    {
        QString program;     // as returned by programPath()
        QString name;        // what the desktop shows
        QString description; // the tooltip or comment
    };

    virtual ~ShortcutPlatform() = default;

    // The user's folder for the place, with a trailing separator; empty when
    // the platform cannot name it. The folder need not exist yet.
    virtual QString folder(Folder place) const = 0;

    // The file name a shortcut called shortcutFile has on disk here
    // ("Postrella.lnk" may become "Postrella.desktop").
    virtual QString linkFileName(const QString& shortcutFile) const = 0;

    // The existing file that a shortcut to programFile should start, or empty
    // when there is none.
    virtual QString programPath(const QString& programFile) const = 0;

    // Writes the shortcut file at linkPath, replacing one that is there, in a
    // way that never leaves a half-written file. True when it is on disk.
    virtual bool writeLink(const QString& linkPath, Folder place, const Link& link) const = 0;

    static const ShortcutPlatform& native();
};
