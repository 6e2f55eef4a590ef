#include "BrowserOpener.h"

#include <QDesktopServices>
#include <QProcess>

using namespace Qt::StringLiterals;

bool openInBrowser(const QUrl& url)
{
    const QString browsers = qEnvironmentVariable("BROWSER");
    const QString page = QString::fromUtf8(url.toEncoded());
    // A list of browsers to try in turn, separated by colons.
    for (const QString& browser : browsers.split(u':', Qt::SkipEmptyParts)) {
        QStringList arguments = QProcess::splitCommand(browser);
        if (arguments.isEmpty())
            continue;
        bool placed = false;
        for (QString& argument : arguments) {
            if (argument.contains(u"%s"_s)) {
                argument.replace(u"%s"_s, page);
                placed = true;
            }
        }
        if (!placed)
            arguments.append(page);
        // No shell in between: the URL stays one argument whatever it holds.
        const QString program = arguments.takeFirst();
        if (QProcess::startDetached(program, arguments))
            return true;
    }
    if (!browsers.trimmed().isEmpty())
        return false;
    return QDesktopServices::openUrl(url);
}
