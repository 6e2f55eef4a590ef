#pragma once

#include <QObject>
#include <QString>

// The user's folder that receives the shortcut. Any value outside the list
// stands for the desktop.
enum class TFWProgramLinksLocations
{
    Menu_Autostart = 0,
    Menu_Start = 1,
    Menu_Programs = 2,
    Menu_Favorites = 3,
    Menu_Desktop = 4,
    Menu_SendTo = 5,
};

// Places a shortcut to a program in one of the user's special folders and
// removes it again. Every call works afresh from the properties; nothing is
// remembered about shortcuts made earlier. Failures are reported only through
// the result, never shown.
class TFWProgramLinks : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString CILastCompile READ CILastCompile WRITE setCILastCompile)
    Q_PROPERTY(QString CIVersion READ CIVersion WRITE setCIVersion)
    Q_PROPERTY(TFWProgramLinksLocations Location READ Location WRITE setLocation)
    Q_PROPERTY(QString ProgramFile READ ProgramFile WRITE setProgramFile)
    Q_PROPERTY(QString ShortcutDescription READ ShortcutDescription WRITE setShortcutDescription)
    Q_PROPERTY(QString ShortcutFile READ ShortcutFile WRITE setShortcutFile)
    Q_PROPERTY(QString SubFolder READ SubFolder WRITE setSubFolder)

public:
    explicit TFWProgramLinks(QObject* parent = nullptr);

    // Component information; fixed, assignments are ignored.
    QString CILastCompile() const { return QStringLiteral("01.02.2000"); }
    void setCILastCompile(const QString&) {}
    QString CIVersion() const { return QStringLiteral("1.01"); }
    void setCIVersion(const QString&) {}

    TFWProgramLinksLocations Location() const { return m_location; }
    void setLocation(TFWProgramLinksLocations location) { m_location = location; }

    // Full path of the program the shortcut starts.
    QString ProgramFile() const { return m_programFile; }
    void setProgramFile(const QString& file) { m_programFile = file; }

    QString ShortcutDescription() const { return m_shortcutDescription; }
    void setShortcutDescription(const QString& description) { m_shortcutDescription = description; }

    // File name of the shortcut with its extension ("Postrella.lnk"); the
    // platform may store it under its own extension.
    QString ShortcutFile() const { return m_shortcutFile; }
    void setShortcutFile(const QString& file) { m_shortcutFile = file; }

    // One folder level below the location folder; one trailing separator is dropped.
    QString SubFolder() const { return m_subFolder; }
    void setSubFolder(const QString& folder);

    // The folder of Location with a trailing separator; empty when the
    // platform cannot name it.
    QString LocationFolder() const;

    // Creates the folder (and any missing parents: unlike the Windows special
    // folders, the per-user folders elsewhere need not exist yet). True when
    // the folder exists afterwards.
    static bool EnsureFolder(const QString& path);

    // Writes the shortcut, replacing one already there. False when a property
    // is missing, the program does not exist, or the file could not be written.
    bool CreateLink();

    // Deletes the shortcut in the folder Location names now. True when it was
    // deleted or there was none; the sub-folder stays.
    bool RemoveLink();

    // Writes the component information record below the program key.
    void WriteComponentInfo(const QString& programKey) const;

    // Where the shortcut of the current properties lies (or would lie); empty
    // when the location folder is unknown.
    QString ShortcutPath() const;

private:
    TFWProgramLinksLocations m_location = TFWProgramLinksLocations::Menu_Programs;
    QString m_programFile;
    QString m_shortcutDescription;
    QString m_shortcutFile;
    QString m_subFolder;
};
