#include "Screening.h"

#include "Exception.h"

#include <QFile>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace Screening {

bool matches(const QByteArray& pattern, const QByteArray& text)
{
    return !pattern.isEmpty() && !text.isEmpty() && text.contains(pattern);
}

QList<QByteArray> loadList(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(u"Datei "_s + path + u" kann nicht geöffnet werden"_s);
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Exception(u"Datei "_s + path + u" kann nicht geöffnet werden"_s);

    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < content.size(); ++i) {
        const char c = content.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.append(content.mid(start, i - start));
        if (c == '\r' && i + 1 < content.size() && content.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < content.size())
        lines.append(content.mid(start));
    return lines;
}

void saveList(const QString& path, const QList<QByteArray>& lines)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(u"Datei "_s + path + u" kann nicht erstellt werden"_s);
    for (const QByteArray& line : lines) {
        file.write(line);
        file.write("\r\n");
    }
    if (!file.commit())
        throw Exception(u"Datei "_s + path + u" kann nicht erstellt werden"_s);
}

namespace {

bool anyMatch(const QList<QByteArray>& patterns, const QByteArray& text)
{
    for (const QByteArray& pattern : patterns) {
        if (matches(pattern, text))
            return true;
    }
    return false;
}

void applyMark(Result& result, const QString& letters, bool deletes)
{
    // A message that is deleted keeps a "#" mark, so the grid never hides a deletion.
    const bool currentDeletes = result.mark.endsWith(u'#');
    if (!currentDeletes || deletes)
        result.mark = deletes ? letters + u'#' : letters;
}

} // namespace

Result screen(const QByteArray& from, const QByteArray& subject, const Lists& lists, const Switches& switches)
{
    Result result;
    if (anyMatch(lists.absender, from)) {
        result.litAbsender = true;
        applyMark(result, u"F"_s, switches.absender);
        if (switches.absender) {
            result.countAbsender = 1;
            result.condemned = true;
        }
    }
    if (anyMatch(lists.betreff, subject)) {
        result.litBetreff = true;
        applyMark(result, u"S"_s, switches.betreff);
        if (switches.betreff) {
            result.countBetreff = 1;
            result.condemned = true;
        }
    }
    if (anyMatch(lists.betreffEigen, subject)) {
        result.litMessages = true;
        applyMark(result, u"SE"_s, switches.betreffEigen);
        if (switches.betreffEigen) {
            result.countBetreffEigen = 1;
            result.condemned = true;
        }
    }
    return result;
}

} // namespace Screening
