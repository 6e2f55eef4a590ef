#include "AttachmentName.h"

#include "Pop3Text.h"

#include <QFile>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace AttachmentName {

namespace {

const QString kFallback = u"text.tmp"_s;

qsizetype diskBytes(const QString& text)
{
    return QFile::encodeName(text).size();
}

// Cuts text from the end, whole characters only, until it fits into limit bytes.
QString fitted(QString text, qsizetype limit)
{
    // No character takes less than a byte: a cheap first cut for very long names.
    if (text.size() > limit) {
        text.truncate(std::max<qsizetype>(limit, 0));
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
    }
    while (!text.isEmpty() && diskBytes(text) > limit) {
        text.chop(1);
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

bool isDeviceName(const QString& name)
{
    const QString stem = name.section(u'.', 0, 0).trimmed().toUpper();
    static const QStringList devices = {u"CON"_s, u"PRN"_s, u"AUX"_s, u"NUL"_s, u"CONIN$"_s, u"CONOUT$"_s};
    if (devices.contains(stem))
        return true;
    return stem.size() == 4 && (stem.startsWith(u"COM"_s) || stem.startsWith(u"LPT"_s)) && stem.at(3) >= u'1' &&
           stem.at(3) <= u'9';
}

// Joins base, suffix and extension so the whole stays within MaxBytes; the
// base gives way first. An extension too long to keep is cut like a base.
QString compose(const QString& base, const QString& suffix, const QString* extension)
{
    if (!extension)
        return fitted(base, MaxBytes - diskBytes(suffix)) + suffix;
    const QString tail = suffix + u'.' + *extension;
    const qsizetype room = MaxBytes - diskBytes(tail);
    if (room >= 0)
        return fitted(base, room) + tail;
    return fitted(base + u'.' + *extension, MaxBytes - diskBytes(suffix)) + suffix;
}

} // namespace

QByteArray fromHeaderLine(const QByteArray& line)
{
    const QByteArray upper = line.toUpper();
    const qsizetype at = upper.indexOf("NAME=");
    if (at < 0)
        return NthField(line, '"', 2);
    QByteArray value = line.mid(at + 5).trimmed();
    if (value.startsWith('"')) {
        const qsizetype close = value.indexOf('"', 1);
        return close < 0 ? value.mid(1) : value.mid(1, close - 1);
    }
    const qsizetype end = value.indexOf(';');
    if (end >= 0)
        value.truncate(end);
    return value.trimmed();
}

QString bare(const QString& name)
{
    // Either separator ends a folder part, whatever the platform.
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    QString result;
    for (const QChar c : QStringView(name).mid(slash + 1)) {
        if (c.category() == QChar::Other_Control)
            continue;
        // Windows refuses these in a file name, and a colon would name a stream or a drive there.
        result += QStringView(u"<>:\"|?*").contains(c) ? u'_' : c;
    }
    // Windows drops trailing dots and blanks, so "a.exe." would be a.exe on disk
    // while its listed extension says otherwise.
    result = result.trimmed();
    while (result.endsWith(u'.') || result.endsWith(u' '))
        result.chop(1);
    if (result.isEmpty())
        return kFallback;
    if (isDeviceName(result))
        result.prepend(u'_');
    return alternative(result, 0);
}

QString alternative(const QString& name, int k)
{
    const QString suffix = k > 0 ? u'_' + QString::number(k) : QString();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return compose(name, suffix, nullptr);
    const QString extension = name.mid(dot + 1);
    return compose(name.left(dot), suffix, &extension);
}

} // namespace AttachmentName
