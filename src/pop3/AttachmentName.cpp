#include "AttachmentName.h"

#include "HeaderText.h"
#include "Pop3Text.h"

#include <QFile>
#include <QStringBuilder>
#include <QStringList>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace AttachmentName {

namespace {

const QString kFallback = u"text.tmp"_s;

// The UTF-8 length of a character outside the surrogates.
constexpr qsizetype utf8Bytes(char16_t u)
{
    return u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
}

qsizetype diskBytes(QStringView text)
{
#ifdef Q_OS_UNIX
    // File names are UTF-8 here: counted without encoding them. Surrogates,
    // paired or not, are left to the encoder. Most names are ASCII, one byte
    // a character, which the toolkit's own test finds fastest.
    if (QtPrivate::isAscii(text))
        return text.size();
    qsizetype bytes = 0;
    for (const QChar c : text) {
        if (c.isSurrogate())
            return QFile::encodeName(text.toString()).size();
        bytes += utf8Bytes(c.unicode());
    }
    return bytes;
#else
    return QFile::encodeName(text.toString()).size();
#endif
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
    if (diskBytes(text) <= limit)
        return text;
#ifdef Q_OS_UNIX
    // Without surrogates every character has a fixed length in UTF-8: the
    // cut is found in one pass. Counting the whole again after each chopped
    // character took a long, hostile name hundreds of passes.
    const auto isSurrogate = [](QChar c) { return c.isSurrogate(); };
    if (std::none_of(text.cbegin(), text.cend(), isSurrogate)) {
        qsizetype bytes = 0;
        qsizetype keep = 0;
        for (; keep < text.size(); ++keep) {
            bytes += utf8Bytes(text.at(keep).unicode());
            if (bytes > limit)
                break;
        }
        text.truncate(keep);
        return text;
    }
#endif
    while (!text.isEmpty() && diskBytes(text) > limit) {
        text.chop(1);
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

bool isRefused(QChar c)
{
    switch (c.unicode()) {
    case u'<':
    case u'>':
    case u':':
    case u'"':
    case u'|':
    case u'?':
    case u'*':
        return true;
    default:
        return false;
    }
}

bool isDeviceName(const QString& name)
{
    const qsizetype dot = name.indexOf(u'.');
    const QStringView start = QStringView(name).first(dot < 0 ? name.size() : dot).trimmed();
    // Most names are plain ASCII: compared without a copy. Upper case of other
    // letters may turn into ASCII, so those take the long way.
    if (std::all_of(start.begin(), start.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        static constexpr QStringView asciiDevices[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
        for (const QStringView device : asciiDevices) {
            if (start.compare(device, Qt::CaseInsensitive) == 0)
                return true;
        }
        return start.size() == 4 &&
               (start.first(3).compare(u"COM", Qt::CaseInsensitive) == 0 ||
                start.first(3).compare(u"LPT", Qt::CaseInsensitive) == 0) &&
               start.at(3) >= u'1' && start.at(3) <= u'9';
    }
    const QString stem = start.toString().toUpper();
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

// More pieces than this are no name but an attack on memory.
constexpr int kMaxPieces = 256;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A parameter value: a quoted string (backslash escapes resolved) or a token
// up to the next semicolon or blank.
QByteArray parameterValue(QByteArrayView line, qsizetype at)
{
    while (at < line.size() && isBlank(line.at(at)))
        ++at;
    QByteArray value;
    if (at < line.size() && line.at(at) == '"') {
        for (++at; at < line.size() && line.at(at) != '"'; ++at) {
            if (line.at(at) == '\\' && at + 1 < line.size())
                ++at;
            value.append(line.at(at));
        }
        return value;
    }
    while (at < line.size() && line.at(at) != ';' && !isBlank(line.at(at)))
        value.append(line.at(at++));
    return value;
}

QByteArray percentDecoded(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto hex = [](char c) { return QByteArrayView("0123456789abcdef").indexOf(char(c | 0x20)); };
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out.append(char(hex(text[i + 1]) * 16 + hex(text[i + 2])));
            i += 2;
        } else {
            out.append(text[i]);
        }
    }
    return out;
}

} // namespace

void Parameters::addLine(QByteArrayView line)
{
    if (const QByteArray plain = fromHeaderLine(line); !plain.isEmpty())
        m_plain = plain;

    for (qsizetype at = IndexOfNoCase(line, "name*"); at >= 0; at = IndexOfNoCase(line, "name*", at + 5)) {
        const bool isFile = at >= 4 && qstrnicmp(line.data() + at - 4, "file", 4) == 0;
        const qsizetype start = isFile ? at - 4 : at;
        if (start > 0 && !isBlank(line.at(start - 1)) && line.at(start - 1) != ';' && line.at(start - 1) != ':')
            continue;
        qsizetype pos = at + 5;
        int number = -1;
        bool encoded = true;
        if (pos < line.size() && line.at(pos) >= '0' && line.at(pos) <= '9') {
            number = 0;
            while (pos < line.size() && line.at(pos) >= '0' && line.at(pos) <= '9' && number <= kMaxPieces)
                number = number * 10 + (line.at(pos++) - '0');
            encoded = pos < line.size() && line.at(pos) == '*';
            if (encoded)
                ++pos;
        }
        while (pos < line.size() && isBlank(line.at(pos)))
            ++pos;
        if (pos >= line.size() || line.at(pos) != '=' || number >= kMaxPieces)
            continue;
        (isFile ? m_filename : m_name).insert(number, Piece{parameterValue(line, pos + 1), encoded});
    }
}

// The pieces in order, from 0 up to the first missing number; the charset is
// the one the first piece names.
QString Parameters::joined(const Pieces& pieces)
{
    QList<Piece> ordered;
    if (const auto whole = pieces.constFind(-1); whole != pieces.cend()) {
        ordered.append(*whole);
    } else {
        for (int k = 0; pieces.contains(k); ++k)
            ordered.append(pieces.value(k));
    }
    if (ordered.isEmpty())
        return {};
    QByteArray charset;
    QByteArray bytes;
    for (qsizetype k = 0; k < ordered.size(); ++k) {
        QByteArrayView value(ordered[k].value);
        if (!ordered[k].encoded) {
            bytes += value;
            continue;
        }
        if (k == 0) {
            // charset'language'text; without both quotes the whole is text.
            const qsizetype first = value.indexOf('\'');
            const qsizetype second = first < 0 ? -1 : value.indexOf('\'', first + 1);
            if (second >= 0) {
                charset = value.first(first).toByteArray();
                value = value.sliced(second + 1);
            }
        }
        bytes += percentDecoded(value);
    }
    return HeaderText::readable(HeaderText::fromCharset(bytes, charset), HeaderText::Controls::Drop);
}

QString Parameters::name() const
{
    if (const QString name = joined(m_filename); !name.isEmpty())
        return name;
    if (const QString name = joined(m_name); !name.isEmpty())
        return name;
    return HeaderText::decode(m_plain, HeaderText::Controls::Drop);
}

bool Parameters::isEmpty() const
{
    return m_plain.isEmpty() && m_filename.isEmpty() && m_name.isEmpty();
}

void Parameters::clear()
{
    m_plain.clear();
    m_filename.clear();
    m_name.clear();
}

QByteArray fromHeaderLine(QByteArrayView line)
{
    const qsizetype at = IndexOfNoCase(line, "NAME=");
    if (at < 0)
        return NthField(line, '"', 2);
    QByteArrayView value = line.sliced(at + 5).trimmed();
    if (value.startsWith('"')) {
        const qsizetype close = value.indexOf('"', 1);
        return (close < 0 ? value.sliced(1) : value.sliced(1, close - 1)).toByteArray();
    }
    const qsizetype end = value.indexOf(';');
    if (end >= 0)
        value.truncate(end);
    return value.trimmed().toByteArray();
}

QString bare(const QString& name)
{
    // Either separator ends a folder part, whatever the platform.
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    QString result;
    result.reserve(name.size() - slash - 1);
    for (const QChar c : QStringView(name).mid(slash + 1)) {
        if (c.category() == QChar::Other_Control)
            continue;
        // Windows refuses these in a file name, and a colon would name a stream or a drive there.
        result += isRefused(c) ? u'_' : c;
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
    if (k == 0 && diskBytes(name) <= MaxBytes)
        return name; // fits as it is
    const QString suffix = k > 0 ? u'_' + QString::number(k) : QString();
    const qsizetype dot = name.lastIndexOf(u'.');
    // Usually the suffix fits in as well: put together in one piece.
    const QStringView base = QStringView(name).first(dot < 0 ? name.size() : dot);
    const QStringView dotExtension = QStringView(name).sliced(base.size());
    if (diskBytes(base) + diskBytes(suffix) + diskBytes(dotExtension) <= MaxBytes)
        return base % suffix % dotExtension;
    if (dot < 0)
        return compose(name, suffix, nullptr);
    const QString extension = name.mid(dot + 1);
    return compose(name.left(dot), suffix, &extension);
}

} // namespace AttachmentName
