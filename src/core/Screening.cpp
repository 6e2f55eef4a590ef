#include "Screening.h"

#include "AnsiText.h"
#include "Exception.h"
#include "HeaderText.h"
#include "Pop3Client.h"
#include "UiLanguage.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace Screening {

bool matches(const QByteArray& pattern, const QByteArray& text)
{
    return !pattern.isEmpty() && !text.isEmpty() && text.contains(pattern);
}

bool matches(const QByteArray& pattern, const QByteArray& raw, const QString& decoded)
{
    return matches(pattern, raw) ||
           (!pattern.isEmpty() && !decoded.isEmpty() && decoded.contains(AnsiText::fromAnsi(pattern)));
}

bool isPattern(const QByteArray& line)
{
    return std::any_of(line.cbegin(), line.cend(), [](char c) { return c != ' ' && c != '\t'; });
}

Field field(const TSummary& summary, const QByteArray& name)
{
    QByteArray raw = HeaderText::unfolded(summary.Header, name);
    qsizetype blanks = 0;
    while (blanks < raw.size() && (raw.at(blanks) == ' ' || raw.at(blanks) == '\t'))
        ++blanks;
    raw.remove(0, blanks);
    return {raw, HeaderText::decode(raw)};
}

QList<QByteArray> loadList(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(byLanguage(u"Datei "_s, u"File "_s) + path +
                        byLanguage(u" kann nicht geöffnet werden"_s, u" cannot be opened"_s));
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw Exception(byLanguage(u"Datei "_s, u"File "_s) + path +
                        byLanguage(u" kann nicht geöffnet werden"_s, u" cannot be opened"_s));

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

QList<QByteArray> ListCache::list(const QString& path)
{
    const QFileInfo info(path);
    const QDateTime modified = info.lastModified();
    const QDateTime changed = info.metadataChangeTime();
    const qint64 size = info.size();
    const auto found = m_entries.constFind(path);
    if (found != m_entries.cend() && info.exists() && found->modified == modified && found->changed == changed &&
        found->size == size)
        return found->lines;
    // A file that cannot be read fails as loadList does, every time it is asked for.
    m_entries.remove(path);
    Entry entry{modified, changed, size, loadList(path)};
    m_entries.insert(path, entry);
    return entry.lines;
}

void saveList(const QString& path, const QList<QByteArray>& lines)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Exception(byLanguage(u"Datei "_s, u"File "_s) + path +
                        byLanguage(u" kann nicht erstellt werden"_s, u" cannot be created"_s));
    for (const QByteArray& line : lines) {
        file.write(line);
        file.write("\r\n");
    }
    if (!file.commit())
        throw Exception(byLanguage(u"Datei "_s, u"File "_s) + path +
                        byLanguage(u" kann nicht erstellt werden"_s, u" cannot be created"_s));
}

namespace {

bool anyMatch(const QList<QByteArray>& patterns, const QByteArray& raw, const QString& decoded)
{
    if (patterns.isEmpty())
        return false;
    // The code page gives every byte a character of its own, so when the
    // decoded field is just the raw one read that way, a pattern is in one
    // exactly when it is in the other: the text need not be searched again.
    const bool rawAsRead = decoded == AnsiText::fromAnsi(raw);
    for (const QByteArray& pattern : patterns) {
        if (isPattern(pattern) && (rawAsRead ? matches(pattern, raw) : matches(pattern, raw, decoded)))
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

void screenList(Result& result, List list, const QList<QByteArray>& patterns, const QByteArray& raw,
                const QString& decoded, bool deletes)
{
    if (!anyMatch(patterns, raw, decoded))
        return;
    switch (list) {
    case List::Absender:
        result.litAbsender = true;
        applyMark(result, u"F"_s, deletes);
        result.countAbsender = deletes ? 1 : result.countAbsender;
        break;
    case List::Betreff:
        result.litBetreff = true;
        applyMark(result, u"S"_s, deletes);
        result.countBetreff = deletes ? 1 : result.countBetreff;
        break;
    case List::BetreffEigen:
        result.litMessages = true;
        applyMark(result, u"SE"_s, deletes);
        result.countBetreffEigen = deletes ? 1 : result.countBetreffEigen;
        break;
    }
    result.condemned = result.condemned || deletes;
}

Result screen(const TSummary& summary, const Lists& lists, const Switches& switches)
{
    const Field from = field(summary, "From");
    const Field subject = field(summary, "Subject");
    return screen(from.raw, subject.raw, lists, switches, from.text, subject.text);
}

Result screen(const QByteArray& from, const QByteArray& subject, const Lists& lists, const Switches& switches,
              const QString& fromText, const QString& subjectText)
{
    Result result;
    screenList(result, List::Absender, lists.absender, from, fromText, switches.absender);
    screenList(result, List::Betreff, lists.betreff, subject, subjectText, switches.betreff);
    screenList(result, List::BetreffEigen, lists.betreffEigen, subject, subjectText, switches.betreffEigen);
    return result;
}

} // namespace Screening
