#include "IniFile.h"

#include "AnsiText.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct Line
{
    enum Kind
    {
        Other,
        Section,
        Key
    };
    Kind kind = Other;
    qsizetype begin = 0;   // first byte of the line
    qsizetype end = 0;     // one past its line break (or the end of the file)
    bool hasBreak = false; // whether the line ends in a line break
    QByteArray lineBreak;  // that break: CR LF or LF
    QByteArray name;       // section or key name, trimmed
    QByteArray value;      // key value as read (trimmed, quotes removed, cut)
};

QByteArray valueOf(const QByteArray& raw)
{
    QByteArray value = raw.trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    if (value.size() > TIniFile::MaxValueLength)
        value.truncate(TIniFile::MaxValueLength);
    return value;
}

std::vector<Line> parse(const QByteArray& content)
{
    std::vector<Line> lines;
    qsizetype pos = 0;
    while (pos < content.size()) {
        Line line;
        line.begin = pos;
        const qsizetype newline = content.indexOf('\n', pos);
        line.hasBreak = newline >= 0;
        line.end = line.hasBreak ? newline + 1 : content.size();
        if (line.hasBreak)
            line.lineBreak = newline > pos && content.at(newline - 1) == '\r' ? QByteArrayLiteral("\r\n") : "\n"_ba;
        const QByteArray text = content.mid(pos, (line.hasBreak ? newline : content.size()) - pos).trimmed();
        pos = line.end;

        if (text.startsWith('[')) {
            const qsizetype close = text.lastIndexOf(']');
            if (close > 0) {
                line.kind = Line::Section;
                line.name = text.mid(1, close - 1).trimmed();
                lines.push_back(line);
                continue;
            }
        }
        const qsizetype equals = text.indexOf('=');
        if (!text.startsWith(';') && equals > 0) {
            line.name = text.left(equals).trimmed();
            if (!line.name.isEmpty()) {
                line.kind = Line::Key;
                line.value = valueOf(text.mid(equals + 1));
            }
        }
        lines.push_back(line);
    }
    return lines;
}

bool sameName(const QByteArray& stored, const QString& wanted)
{
    return QString::compare(AnsiText::fromAnsi(stored), wanted, Qt::CaseInsensitive) == 0;
}

// Index of the header of the first section with that name, or -1.
qsizetype findSection(const std::vector<Line>& lines, const QString& section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Line::Section && sameName(lines[i].name, section))
            return qsizetype(i);
    }
    return -1;
}

// One past the last line that belongs to the section whose header is at index header.
qsizetype sectionEnd(const std::vector<Line>& lines, qsizetype header)
{
    auto i = std::size_t(header) + 1;
    while (i < lines.size() && lines[i].kind != Line::Section)
        ++i;
    return qsizetype(i);
}

qsizetype findKey(const std::vector<Line>& lines, qsizetype header, const QString& key)
{
    const qsizetype end = sectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (lines[std::size_t(i)].kind == Line::Key && sameName(lines[std::size_t(i)].name, key))
            return i;
    }
    return -1;
}

// The file keeps the line ends it has; a new file gets the platform's CR LF.
QByteArray lineBreakOf(const QByteArray& content)
{
    const qsizetype newline = content.indexOf('\n');
    if (newline < 0 || (newline > 0 && content.at(newline - 1) == '\r'))
        return QByteArrayLiteral("\r\n");
    return QByteArrayLiteral("\n");
}

bool breaksLines(const QByteArray& text)
{
    return text.contains('\n') || text.contains('\r') || text.contains('\0');
}

bool validSection(const QByteArray& name)
{
    return !name.trimmed().isEmpty() && !breaksLines(name) && !name.contains(']');
}

bool validKey(const QByteArray& name)
{
    const QByteArray trimmed = name.trimmed();
    return !trimmed.isEmpty() && !breaksLines(name) && !name.contains('=') && !trimmed.startsWith(';') &&
           !trimmed.startsWith('[');
}

} // namespace

TIniFile::TIniFile(QString fileName) : m_fileName(std::move(fileName)) {}

bool TIniFile::exists() const
{
    return QFileInfo(m_fileName).isFile();
}

bool TIniFile::isReadable() const
{
    QFile file(m_fileName);
    return QFileInfo(m_fileName).isFile() && file.open(QIODevice::ReadOnly);
}

QByteArray TIniFile::load() const
{
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool TIniFile::save(const QByteArray& content) const
{
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QByteArray TIniFile::readBytes(const QString& section, const QString& key, const QByteArray& defaultValue) const
{
    const std::vector<Line> lines = parse(load());
    const qsizetype header = findSection(lines, section);
    if (header < 0)
        return defaultValue;
    const qsizetype index = findKey(lines, header, key);
    return index < 0 ? defaultValue : lines[std::size_t(index)].value;
}

QString TIniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const std::vector<Line> lines = parse(load());
    const qsizetype header = findSection(lines, section);
    if (header < 0)
        return defaultValue;
    const qsizetype index = findKey(lines, header, key);
    return index < 0 ? defaultValue : AnsiText::fromAnsi(lines[std::size_t(index)].value);
}

int TIniFile::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    return toInteger(readBytes(section, key)).value_or(defaultValue);
}

QStringList TIniFile::sections() const
{
    QStringList names;
    for (const Line& line : parse(load())) {
        const QString name = AnsiText::fromAnsi(line.name);
        if (line.kind == Line::Section && !names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    return names;
}

QStringList TIniFile::keys(const QString& section) const
{
    const std::vector<Line> lines = parse(load());
    const qsizetype header = findSection(lines, section);
    if (header < 0)
        return {};
    QStringList names;
    const qsizetype end = sectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const Line& line = lines[std::size_t(i)];
        const QString name = AnsiText::fromAnsi(line.name);
        if (line.kind == Line::Key && !names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    }
    return names;
}

bool TIniFile::sectionExists(const QString& section) const
{
    return findSection(parse(load()), section) >= 0;
}

bool TIniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    return writeBytes(section, key, AnsiText::toAnsi(value));
}

bool TIniFile::writeInteger(const QString& section, const QString& key, int value)
{
    return writeBytes(section, key, QByteArray::number(value));
}

bool TIniFile::writeBytes(const QString& section, const QString& key, const QByteArray& value)
{
    const QByteArray sectionBytes = AnsiText::toAnsi(section);
    const QByteArray keyBytes = AnsiText::toAnsi(key);
    // A line break in any part would plant lines of its own in the file.
    if (!validSection(sectionBytes) || !validKey(keyBytes) || breaksLines(value))
        return false;

    QByteArray content = load();
    if (QFileInfo::exists(m_fileName) && !isReadable())
        return false; // never replace a file we could not read
    const QByteArray eol = lineBreakOf(content);
    const std::vector<Line> lines = parse(content);
    const qsizetype header = findSection(lines, section);

    if (header < 0) {
        if (!content.isEmpty() && !content.endsWith('\n'))
            content += eol;
        content += '[' + sectionBytes.trimmed() + ']' + eol + keyBytes.trimmed() + '=' + value + eol;
        return save(content);
    }

    const qsizetype index = findKey(lines, header, key);
    if (index >= 0) {
        // Keep the line's break (and the stored spelling of the key).
        const Line& line = lines[std::size_t(index)];
        content.replace(line.begin, line.end - line.begin, QByteArray(line.name + '=' + value + line.lineBreak));
        return save(content);
    }

    // A new key goes after the last key of the section, so blank lines and
    // comments before the next section stay where they are.
    qsizetype after = header;
    const qsizetype end = sectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (lines[std::size_t(i)].kind == Line::Key)
            after = i;
    }
    const Line& anchor = lines[std::size_t(after)];
    QByteArray insertion = keyBytes.trimmed() + '=' + value + eol;
    if (!anchor.hasBreak)
        insertion.prepend(eol);
    content.insert(anchor.end, insertion);
    return save(content);
}

bool TIniFile::deleteKey(const QString& section, const QString& key)
{
    QByteArray content = load();
    const std::vector<Line> lines = parse(content);
    const qsizetype header = findSection(lines, section);
    if (header < 0)
        return true;
    bool changed = false;
    // Backwards, so the offsets of the lines still to remove stay valid.
    for (qsizetype i = sectionEnd(lines, header) - 1; i > header; --i) {
        const Line& line = lines[std::size_t(i)];
        if (line.kind == Line::Key && sameName(line.name, key)) {
            content.remove(line.begin, line.end - line.begin);
            changed = true;
        }
    }
    return !changed || save(content);
}

bool TIniFile::deleteSection(const QString& section)
{
    QByteArray content = load();
    const std::vector<Line> lines = parse(content);
    bool changed = false;
    for (auto i = qsizetype(lines.size()) - 1; i >= 0; --i) {
        const Line& line = lines[std::size_t(i)];
        if (line.kind != Line::Section || !sameName(line.name, section))
            continue;
        const qsizetype end = sectionEnd(lines, i);
        const qsizetype stop = end < qsizetype(lines.size()) ? lines[std::size_t(end)].begin : content.size();
        content.remove(line.begin, stop - line.begin);
        changed = true;
    }
    return !changed || save(content);
}

std::optional<int> TIniFile::toInteger(const QByteArray& text)
{
    QByteArray digits = text.trimmed();
    bool negative = false;
    if (digits.startsWith('-') || digits.startsWith('+')) {
        negative = digits.front() == '-';
        digits.remove(0, 1);
    }
    int base = 10;
    if (digits.startsWith('$')) {
        base = 16;
        digits.remove(0, 1);
    } else if (digits.startsWith("0x") || digits.startsWith("0X")) {
        base = 16;
        digits.remove(0, 2);
    }
    if (digits.isEmpty())
        return std::nullopt;

    quint64 magnitude = 0;
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * quint64(base) + quint64(digit);
        if (magnitude > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (base == 16) {
        // Hexadecimal is the 32-bit pattern, as the platform reads it: $FFFFFFFF is -1.
        const auto pattern = quint32(magnitude);
        return qint32(negative ? 0u - pattern : pattern);
    }
    if (negative)
        return magnitude <= 2147483648ull ? std::optional<int>(qint32(0u - quint32(magnitude))) : std::nullopt;
    return magnitude <= 2147483647ull ? std::optional<int>(int(magnitude)) : std::nullopt;
}
