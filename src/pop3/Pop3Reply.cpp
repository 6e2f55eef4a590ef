#include "Pop3Reply.h"

#include <QList>

namespace Pop3Reply {

namespace {

bool isNumber(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

Status status(QByteArrayView line)
{
    if (line.startsWith("+OK"))
        return Status::Positive;
    if (line.startsWith("-ERR"))
        return Status::Negative;
    return Status::Unknown;
}

QByteArrayView withoutLineEnd(QByteArrayView line)
{
    if (line.endsWith("\r\n"))
        line.chop(2);
    else if (line.endsWith('\n'))
        line.chop(1);
    return line;
}

bool opensAnswer(QByteArrayView command)
{
    const QByteArray verb = command.trimmed().toByteArray().toUpper();
    return verb.startsWith("TOP ") || verb.startsWith("RETR ") || verb == "CAPA" || verb == "LIST" || verb == "UIDL";
}

QByteArray shown(QByteArrayView command)
{
    const QList<QByteArray> words = command.trimmed().toByteArray().split(' ');
    QByteArray text = words.value(0);
    // The mechanism may be shown, the response carries the token.
    if (text.compare("AUTH", Qt::CaseInsensitive) == 0 && words.size() > 1)
        return text + ' ' + words.at(1) + (words.size() > 2 ? " ***" : "");
    for (qsizetype i = 1; i < words.size() && isNumber(words.at(i)); ++i)
        text += ' ' + words.at(i);
    return text;
}

bool fitsCommand(QByteArrayView command, QByteArrayView reply)
{
    if (!command.startsWith("LIST "))
        return true;
    // "+OK n size": RFC 1939 answers LIST n with the number it was asked for.
    const QList<QByteArray> fields = withoutLineEnd(reply).toByteArray().simplified().split(' ');
    return fields.size() >= 3 && fields.at(1) == command.sliced(5).trimmed();
}

std::optional<ScanLine> ScanListing::take(QByteArrayView line)
{
    const QByteArrayView entry = withoutLineEnd(line).trimmed();
    const qsizetype blank = entry.indexOf(' ');
    if (blank <= 0)
        return std::nullopt;
    const QByteArrayView number = entry.first(blank);
    const QByteArrayView rest = entry.sliced(blank + 1).trimmed();
    if (!isNumber(number) || rest.isEmpty() || rest.size() > MaxRest)
        return std::nullopt;
    const int n = number.toInt();
    if (n <= m_last || (m_count >= 0 && n > m_count))
        return std::nullopt;
    m_last = n;
    return ScanLine{n, rest.toByteArray()};
}

} // namespace Pop3Reply
