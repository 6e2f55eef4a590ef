#include "ListingCache.h"

#include "Account.h"
#include "Pop3Client.h"
#include "UiLanguage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <climits>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr QByteArrayView Magic = "PostrellaListing";
constexpr QByteArrayView Version = "1";
constexpr QByteArrayView Trailer = "end ";

// Field values may hold any byte; the ones that would break a record (the tab
// between fields, the line end, other controls) and the escape itself are
// written as %XX.
bool needsEscape(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F || c == '%';
}

void appendEscaped(QByteArray& out, QByteArrayView value)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    for (const char c : value) {
        if (!needsEscape(c)) {
            out += c;
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        out += '%';
        out += hex[u >> 4];
        out += hex[u & 0xF];
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value as it was written; nothing when the text is not what appendEscaped makes.
std::optional<QByteArray> unescaped(QByteArrayView text)
{
    QByteArray value;
    value.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c != '%') {
            if (needsEscape(c))
                return std::nullopt;
            value += c;
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text.at(i + 1));
        const int low = hexValue(text.at(i + 2));
        if (high < 0 || low < 0)
            return std::nullopt;
        value += char(high * 16 + low);
        i += 2;
    }
    return value;
}

QByteArray headerLine(const Account& account, qsizetype count)
{
    QByteArray line(Magic.toByteArray());
    line += '\t';
    line += Version;
    line += '\t';
    appendEscaped(line, account.host.toUtf8());
    line += '\t' + QByteArray::number(account.port) + '\t';
    appendEscaped(line, account.userId.toUtf8());
    line += '\t' + QByteArray::number(count) + '\n';
    return line;
}

QList<QByteArrayView> fieldsOf(QByteArrayView line)
{
    QList<QByteArrayView> fields;
    qsizetype start = 0;
    for (qsizetype tab = line.indexOf('\t'); tab >= 0; tab = line.indexOf('\t', start)) {
        fields.append(line.sliced(start, tab - start));
        start = tab + 1;
    }
    fields.append(line.sliced(start));
    return fields;
}

bool isKeptField(const QByteArray& line)
{
    // Compared without case, as screening finds the fields.
    static const QByteArray names[] = {"from:", "subject:", "message-id:"};
    for (const QByteArray& name : names) {
        if (line.size() >= name.size() && line.left(name.size()).toLower() == name)
            return true;
    }
    return false;
}

std::optional<ListingCache::Entry> parseRecord(QByteArrayView line)
{
    const QList<QByteArrayView> fields = fieldsOf(line);
    if (fields.size() < 2)
        return std::nullopt;
    ListingCache::Entry entry;
    std::optional<QByteArray> uidl = unescaped(fields.at(0));
    bool ok = false;
    entry.bytes = fields.at(1).toLongLong(&ok);
    if (!uidl || uidl->isEmpty() || !ok || entry.bytes < 0)
        return std::nullopt;
    entry.uidl = *uidl;
    for (qsizetype i = 2; i < fields.size(); ++i) {
        std::optional<QByteArray> value = unescaped(fields.at(i));
        if (!value)
            return std::nullopt;
        entry.header.append(*value);
    }
    return entry;
}

// The records after the header line, when the content is a whole file of this
// account in this format; nothing otherwise.
std::optional<ListingCache::Entries> parse(const Account& account, QByteArrayView content)
{
    // The last line carries the hash of all before it: a cut or changed file shows.
    if (!content.endsWith('\n'))
        return std::nullopt;
    const qsizetype trailerAt = content.chopped(1).lastIndexOf('\n') + 1;
    const QByteArrayView body = content.first(trailerAt);
    const QByteArrayView trailer = content.sliced(trailerAt).chopped(1);
    const QByteArray hash = QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex();
    if (trailerAt == 0 || trailer != QByteArray(Trailer.toByteArray() + hash))
        return std::nullopt;

    const qsizetype firstEnd = body.indexOf('\n');
    const QList<QByteArrayView> head = fieldsOf(body.first(firstEnd));
    if (head.size() != 6 || head.at(0) != Magic || head.at(1) != Version)
        return std::nullopt;
    const std::optional<QByteArray> host = unescaped(head.at(2));
    const std::optional<QByteArray> user = unescaped(head.at(4));
    bool portOk = false;
    bool countOk = false;
    const int port = head.at(3).toInt(&portOk);
    const qsizetype count = head.at(5).toLongLong(&countOk);
    if (!host || !user || !portOk || !countOk || *host != account.host.toUtf8() || port != account.port ||
        *user != account.userId.toUtf8() || count < 0 || count > ListingCache::MaxEntries)
        return std::nullopt;

    ListingCache::Entries entries;
    entries.reserve(count);
    qsizetype records = 0;
    qsizetype start = firstEnd + 1;
    while (start < body.size()) {
        const qsizetype end = body.indexOf('\n', start);
        std::optional<ListingCache::Entry> entry = parseRecord(body.sliced(start, end - start));
        if (!entry || ++records > count)
            return std::nullopt;
        entries.insert(entry->uidl, std::move(*entry));
        start = end + 1;
    }
    if (records != count)
        return std::nullopt;
    return entries;
}

} // namespace

ListingCache::Entry ListingCache::Entry::fromSummary(const QByteArray& uidl, const TSummary& summary)
{
    Entry entry;
    entry.uidl = uidl;
    entry.bytes = summary.Bytes;
    bool inField = false;
    for (const QByteArray& line : summary.Header) {
        if (line.isEmpty())
            break;
        if (line.front() != ' ' && line.front() != '\t')
            inField = isKeptField(line);
        if (inField)
            entry.header.append(line);
    }
    return entry;
}

TSummary ListingCache::Entry::summary() const
{
    TSummary summary;
    summary.Bytes = int(qMin<qint64>(bytes, INT_MAX));
    // The fields as the client takes them from the answer to TOP: exact
    // names only, and a later line wins.
    for (const QByteArray& line : header) {
        if (line.startsWith("Subject:"))
            summary.Subject = line.mid(8);
        else if (line.startsWith("From:"))
            summary.From = line.mid(5);
        else if (line.startsWith("Message-ID:"))
            summary.MessageId = line.mid(12, 256);
    }
    summary.Header = header;
    summary.Header.append(QByteArray());
    return summary;
}

QString ListingCache::fileFor(const Account& account)
{
    const QString root = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (root.isEmpty())
        return QString();
    const QByteArray identity =
        account.host.toUtf8() + '\n' + QByteArray::number(account.port) + '\n' + account.userId.toUtf8();
    const QByteArray name = QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex();
    return root + u"/Postrella/"_s + QString::fromLatin1(name) + u".cache"_s;
}

ListingCache::Entries ListingCache::load(const Account& account)
{
    const QString path = fileFor(account);
    if (path.isEmpty())
        return {};
    // Anything but a plain file (a folder, a pipe that would never end) is no cache.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || file.size() > MaxFileBytes)
        return {};
    const QByteArray content = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || content.size() > MaxFileBytes)
        return {};
    try {
        return parse(account, content).value_or(Entries());
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool ListingCache::save(const Account& account, const QList<Entry>& entries, QString* error)
{
    const QString path = fileFor(account);
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (path.isEmpty())
        return fail(byLanguage(u"Kein Ordner für zwischengespeicherte Daten"_s, u"No folder for cached data"_s));
    const QString cannotWrite =
        byLanguage(u"Datei %1 kann nicht erstellt werden"_s, u"File %1 cannot be created"_s).arg(path);
    try {
        const QString folder = QFileInfo(path).path();
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        // Created open to its owner alone, so no other user can look in even for a moment.
        if (!QFileInfo(folder).isDir() &&
            (!QDir().mkpath(QFileInfo(folder).path()) || !QDir().mkdir(folder, ownerOnly)))
            return fail(cannotWrite);
        QFile::setPermissions(folder, ownerOnly);

        QByteArray body;
        qsizetype count = 0;
        for (const Entry& entry : entries) {
            if (entry.uidl.isEmpty())
                continue;
            ++count;
            appendEscaped(body, entry.uidl);
            body += '\t' + QByteArray::number(qMax<qint64>(entry.bytes, 0));
            for (const QByteArray& line : entry.header) {
                body += '\t';
                appendEscaped(body, line);
            }
            body += '\n';
        }
        body.prepend(headerLine(account, count));
        body += Trailer.toByteArray() + QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() + '\n';
        if (body.size() > MaxFileBytes || count > MaxEntries)
            return fail(cannotWrite);

        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) ||
            file.write(body) != body.size() || !file.commit())
            return fail(cannotWrite);
        return true;
    } catch (const std::bad_alloc&) {
        return fail(cannotWrite);
    }
}
