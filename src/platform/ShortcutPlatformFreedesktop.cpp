// Shortcuts as freedesktop desktop entries ("Postrella.desktop") in the
// user's XDG folders. The six Windows places map onto:
//   Startup    $XDG_CONFIG_HOME/autostart/          (started at log-in)
//   Start menu $XDG_DATA_HOME/applications/          (the applications menu)
//   Programs   $XDG_DATA_HOME/applications/Fernwick/ (the menu again, in the
//              way Windows nests Programs inside the Start menu)
//   Favorites  $XDG_DATA_HOME/Fernwick/Favorites/
//   Desktop    the XDG desktop folder (user-dirs.dirs, else $HOME/Desktop)
//   Send To    $XDG_DATA_HOME/Fernwick/SendTo/
// Favourites and Send To have no folder that desktops read; they get folders
// of their own so that creating and removing behave as in the other places.

#include "ShortcutPlatform.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

Q_LOGGING_CATEGORY(lcLinks, "postrella.links", QtWarningMsg)

QString withSeparator(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(u'/'))
        return folder;
    return folder + u'/';
}

QString below(QStandardPaths::StandardLocation base, const QString& sub)
{
    const QString root = QStandardPaths::writableLocation(base);
    if (root.isEmpty())
        return QString();
    return withSeparator(sub.isEmpty() ? root : root + u'/' + sub);
}

bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// Escapes for a value of type string: backslashes doubled, line breaks and
// tabs spelled out, a leading blank kept, other control characters dropped.
QString escapeValue(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\\')
            out += u"\\\\"_s;
        else if (c == u'\n')
            out += u"\\n"_s;
        else if (c == u'\t')
            out += u"\\t"_s;
        else if (c == u'\r')
            out += u"\\r"_s;
        else if (c == u' ' && i == 0)
            out += u"\\s"_s;
        else if (c.unicode() >= 0x20 && c.unicode() != 0x7f)
            out += c;
    }
    return out;
}

// One argument of Exec: quoted when it holds a reserved character, with the
// characters that stay special inside quotes escaped, and percent signs
// doubled so they are not taken for field codes.
QString execArgument(const QString& argument)
{
    static const QString reserved = u" \t\n\"'\\><~|&;$*?#()`"_s;
    bool quote = argument.isEmpty();
    for (const QChar c : argument)
        quote = quote || reserved.contains(c);
    QString out;
    if (quote)
        out += u'"';
    for (const QChar c : argument) {
        if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            out += u'\\';
        out += c;
        if (c == u'%')
            out += u'%';
    }
    if (quote)
        out += u'"';
    return out;
}

QString iconBeside(const QString& program)
{
    const QFileInfo info(program);
    for (const QString& extension : {u".png"_s, u".svg"_s, u".xpm"_s}) {
        const QString candidate = info.absolutePath() + u'/' + info.completeBaseName() + extension;
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    // An installed program has its icon in the theme of its prefix; the entry
    // names it, so that the desktop picks the size it needs.
    const QString themed = info.absolutePath() + u"/../share/icons/hicolor/scalable/apps/"_s + info.completeBaseName();
    if (QFileInfo(themed + u".svg"_s).isFile())
        return info.completeBaseName();
    return QString();
}

class FreedesktopShortcuts final : public ShortcutPlatform
{
public:
    QString folder(Folder place) const override
    {
        switch (place) {
        case Folder::Startup:
            return below(QStandardPaths::GenericConfigLocation, u"autostart"_s);
        case Folder::StartMenu:
            return below(QStandardPaths::ApplicationsLocation, QString());
        case Folder::Programs:
            return below(QStandardPaths::ApplicationsLocation, u"Fernwick"_s);
        case Folder::Favorites:
            return below(QStandardPaths::GenericDataLocation, u"Fernwick/Favorites"_s);
        case Folder::Desktop:
            return below(QStandardPaths::DesktopLocation, QString());
        case Folder::SendTo:
            return below(QStandardPaths::GenericDataLocation, u"Fernwick/SendTo"_s);
        }
        return QString();
    }

    QString linkFileName(const QString& shortcutFile) const override
    {
        QString name = shortcutFile;
        if (name.endsWith(u".lnk"_s, Qt::CaseInsensitive))
            name.chop(4);
        if (!name.endsWith(u".desktop"_s))
            name += u".desktop"_s;
        return name;
    }

    QString programPath(const QString& programFile) const override
    {
        // The program joins its folder and "\Postrella.exe" with a backslash;
        // here the executable is "Postrella" and a backslash may be part of a
        // folder name, so the last backslash alone is tried as the separator too.
        QStringList candidates{programFile};
        const qsizetype last = programFile.lastIndexOf(u'\\');
        if (last >= 0) {
            candidates.append(programFile.left(last) + u'/' + programFile.mid(last + 1));
            candidates.append(QString(programFile).replace(u'\\', u'/'));
        }
        for (const QString& candidate : std::as_const(candidates)) {
            const QFileInfo given(candidate);
            if (given.isFile())
                return given.absoluteFilePath();
            if (candidate.endsWith(u".exe"_s, Qt::CaseInsensitive)) {
                const QFileInfo stem(candidate.chopped(4));
                if (stem.isFile())
                    return stem.absoluteFilePath();
            }
        }
        return QString();
    }

    bool writeLink(const QString& linkPath, Folder place, const Link& link) const override
    {
        // A line break cannot be passed through Exec; such a path is not started.
        if (hasControlCharacter(link.program)) {
            qCWarning(lcLinks) << "program path holds a control character:" << link.program;
            return false;
        }
        QString entry = u"[Desktop Entry]\nType=Application\n"_s;
        entry += u"Name="_s + escapeValue(link.name) + u'\n';
        entry += u"Comment="_s + escapeValue(link.description) + u'\n';
        entry += u"Exec="_s + escapeValue(execArgument(link.program)) + u'\n';
        const QString icon = iconBeside(link.program);
        if (!icon.isEmpty())
            entry += u"Icon="_s + escapeValue(icon) + u'\n';
        entry += u"Terminal=false\nCategories=Network;Email;\n"_s;

        // Several desktops start an entry on the desktop only when it is executable.
        QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        if (place == Folder::Desktop)
            mode |= QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
        QSaveFile file(linkPath);
        if (!file.open(QIODevice::WriteOnly)) {
            qCWarning(lcLinks) << "cannot write" << linkPath << file.errorString();
            return false;
        }
        file.write(entry.toUtf8());
        file.setPermissions(mode);
        if (!file.commit()) {
            qCWarning(lcLinks) << "cannot write" << linkPath << file.errorString();
            return false;
        }
        return true;
    }
};

} // namespace

const ShortcutPlatform& ShortcutPlatform::native()
{
    static const FreedesktopShortcuts platform;
    return platform;
}
