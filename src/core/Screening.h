#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

struct TSummary;

// Screening of one message summary against the three lists: the user's
// sender list, the system subject list and the user's subject list.
namespace Screening {

// A pattern matches when it occurs byte for byte, case-sensitive, anywhere
// in the text. Empty patterns and empty texts never match.
bool matches(const QByteArray& pattern, const QByteArray& text);

// The same rule on the raw bytes of a field or on its decoded text, so an
// encoded subject cannot slip past a list; the pattern is Windows-1252 text.
bool matches(const QByteArray& pattern, const QByteArray& raw, const QString& decoded);

// A list line of blanks and tabs alone (or an empty one) is no pattern: it
// would match every field that has a blank in it.
bool isPattern(const QByteArray& line);

// One pattern per line; CR LF, a lone CR or a lone LF ends a line. A missing
// or unreadable file fails with "Datei <path> kann nicht geöffnet werden".
QList<QByteArray> loadList(const QString& path);

// Writes the lines with CR LF; fails with "Datei <path> kann nicht erstellt werden".
void saveList(const QString& path, const QList<QByteArray>& lines);

// The lists of a check, each read from disk once and again only when its file
// has changed (its time stamps or size), so a list saved during a check still
// screens the next message.
class ListCache
{
public:
    QList<QByteArray> list(const QString& path);
    void clear() { m_entries.clear(); }

private:
    struct Entry
    {
        QDateTime modified;
        QDateTime changed;
        qint64 size = -1;
        QList<QByteArray> lines;
    };
    QHash<QString, Entry> m_entries;
};

enum class List
{
    Absender,
    Betreff,
    BetreffEigen
};

struct Lists
{
    QList<QByteArray> absender;
    QList<QByteArray> betreff;
    QList<QByteArray> betreffEigen;
};

struct Switches
{
    bool absender = false;     // delete on a sender match
    bool betreff = false;      // delete on a system subject list match
    bool betreffEigen = false; // delete on a user subject list match
};

struct Result
{
    QString mark; // "", "F", "F#", "S", "S#", "SE", "SE#"
    bool litAbsender = false;
    bool litBetreff = false;
    bool litMessages = false;
    // Deletions counted for each list: a message counts once per list.
    int countAbsender = 0;
    int countBetreff = 0;
    int countBetreffEigen = 0;
    bool condemned = false;
};

// Screens the field (raw bytes and decoded text) against one list and adds
// the outcome to the result. The mark names the last list that matched,
// except that a message that will be deleted always keeps a mark with "#".
void screenList(Result& result, List list, const QList<QByteArray>& patterns, const QByteArray& raw,
                const QString& decoded, bool deletes);

// A header field as the grid shows it, from the header only: raw is the value
// of the last field of that name with its continuation lines joined and the
// blanks after the colon dropped; text is what the grid shows of it.
struct Field
{
    QByteArray raw;
    QString text;
};
Field field(const TSummary& summary, const QByteArray& name);

// Screens the sender and subject fields of the summary as they are shown.
Result screen(const TSummary& summary, const Lists& lists, const Switches& switches);

// Screens sender, then system subject list, then user subject list.
Result screen(const QByteArray& from, const QByteArray& subject, const Lists& lists, const Switches& switches,
              const QString& fromText = {}, const QString& subjectText = {});

} // namespace Screening
