#include "HeaderText.h"

#include "AnsiText.h"

#include <QList>
#include <QStringDecoder>
#include <optional>

namespace {

// Longer charset names do not exist; a longer "name" is not an encoded word.
constexpr qsizetype kMaxCharset = 64;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool allBlank(QByteArrayView text)
{
    for (const char c : text) {
        if (!isBlank(c))
            return false;
    }
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QString plainText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? AnsiText::fromAnsi(bytes) : text;
}

bool isWindows1252Alias(const QByteArray& lower)
{
    return lower == "iso-8859-1" || lower == "iso8859-1" || lower == "iso_8859-1" || lower == "latin1" ||
           lower == "latin-1" || lower == "us-ascii" || lower == "ascii" || lower == "windows-1252" ||
           lower == "cp1252";
}

// The text of bytes in a charset, or nothing when the toolkit does not know it.
std::optional<QString> inCharset(const QByteArray& bytes, const QByteArray& charset)
{
    const QByteArray lower = charset.toLower();
    if (isWindows1252Alias(lower))
        return AnsiText::fromAnsi(bytes);
    if (lower.isEmpty() || lower.size() > kMaxCharset)
        return std::nullopt;
    QStringDecoder decoder(lower.constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return std::nullopt;
    return QString(decoder(bytes));
}

QByteArray qDecoded(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out.append(' ');
        } else if (c == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out.append(char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            // A stray "=" is kept, as most readers do.
            out.append(c);
        }
    }
    return out;
}

// One piece of a field: an encoded word's decoded bytes with its charset, or
// plain bytes (charset empty).
struct Piece
{
    QByteArray bytes;
    QByteArray charset;
    bool encoded = false;
};

// Tries to read an encoded word at the start of text; gives its length.
qsizetype encodedWord(QByteArrayView text, Piece& piece)
{
    if (!text.startsWith("=?"))
        return 0;
    const qsizetype q1 = text.indexOf('?', 2);
    if (q1 < 0 || q1 - 2 > kMaxCharset + 32 || q1 + 2 >= text.size() || text[q1 + 2] != '?')
        return 0;
    const char method = text[q1 + 1];
    // The encoded text holds neither "?" nor blanks; the next "?" must close the word.
    const qsizetype end = text.indexOf('?', q1 + 3);
    if (end < 0 || end + 1 >= text.size() || text[end + 1] != '=')
        return 0;
    for (const char c : text.sliced(q1 + 3, end - q1 - 3)) {
        if (uchar(c) <= ' ')
            return 0;
    }
    QByteArray charset = text.sliced(2, q1 - 2).toByteArray();
    // A language may follow the charset: "utf-8*de".
    if (const qsizetype star = charset.indexOf('*'); star >= 0)
        charset.truncate(star);
    if (charset.isEmpty() || charset.size() > kMaxCharset || allBlank(charset) || charset.contains(' '))
        return 0;
    const QByteArrayView payload = text.sliced(q1 + 3, end - q1 - 3);
    if (method == 'Q' || method == 'q') {
        piece.bytes = qDecoded(payload);
    } else if (method == 'B' || method == 'b') {
        // Padding may be missing, but one character more than whole groups is no Base64.
        if (payload.size() % 4 == 1)
            return 0;
        auto result = QByteArray::fromBase64Encoding(payload.toByteArray(), QByteArray::AbortOnBase64DecodingErrors);
        if (!result)
            return 0;
        piece.bytes = std::move(result.decoded);
    } else {
        return 0;
    }
    piece.charset = charset.toLower();
    piece.encoded = true;
    return end + 2;
}

QList<Piece> pieces(const QByteArray& raw)
{
    QList<Piece> out;
    QByteArray plain;
    const auto flushPlain = [&] {
        if (!plain.isEmpty())
            out.append(Piece{plain, {}, false});
        plain.clear();
    };
    const QByteArrayView all(raw);
    for (qsizetype i = 0; i < all.size();) {
        Piece word;
        const qsizetype length = all[i] == '=' ? encodedWord(all.sliced(i), word) : 0;
        // A word in a charset nobody knows stays as it stands.
        if (length > 0 && inCharset(QByteArray(), word.charset)) {
            flushPlain();
            out.append(std::move(word));
            i += length;
        } else {
            plain.append(all[i]);
            ++i;
        }
    }
    flushPlain();
    return out;
}

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    // Line and paragraph separators and the bidirectional overrides would
    // break a label's line or show a name reversed ("exe.txt" as "txt.exe").
    return c.category() == QChar::Other_Control || u == 0x2028 || u == 0x2029 || (u >= 0x202A && u <= 0x202E) ||
           (u >= 0x2066 && u <= 0x2069);
}

} // namespace

namespace HeaderText {

QString fromCharset(const QByteArray& bytes, const QByteArray& charset)
{
    if (auto text = inCharset(bytes, charset))
        return *text;
    return plainText(bytes);
}

QString decode(const QByteArray& raw, Controls controls)
{
    // Most fields hold no encoded word at all: no need to cut them into pieces.
    if (!raw.contains("=?"))
        return readable(plainText(raw), controls);
    const QList<Piece> all = pieces(raw);
    QString text;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const Piece& piece = all[i];
        if (!piece.encoded) {
            // Blanks between two encoded words only separate them.
            const bool between = i > 0 && i + 1 < all.size() && all[i - 1].encoded && all[i + 1].encoded;
            if (!(between && allBlank(piece.bytes)))
                text += plainText(piece.bytes);
            continue;
        }
        // Words of one charset in a row are one byte sequence: senders split
        // a character across two words.
        QByteArray bytes = piece.bytes;
        qsizetype j = i + 1;
        while (j < all.size()) {
            if (all[j].encoded && all[j].charset == piece.charset) {
                bytes += all[j].bytes;
                ++j;
            } else if (!all[j].encoded && allBlank(all[j].bytes) && j + 1 < all.size() && all[j + 1].encoded &&
                       all[j + 1].charset == piece.charset) {
                ++j;
            } else {
                break;
            }
        }
        text += fromCharset(bytes, piece.charset);
        i = j - 1;
    }
    return readable(std::move(text), controls);
}

QString readable(QString text, Controls controls)
{
    if (controls == Controls::Drop) {
        text.removeIf(isControl);
        return text.trimmed();
    }
    for (QChar& c : text) {
        if (isControl(c))
            c = u' ';
    }
    return text.trimmed();
}

QByteArray unfolded(const TExStringList& header, const QByteArray& name)
{
    QByteArray value;
    bool inField = false;
    const QByteArray prefix = name.toLower() + ':';
    for (const QByteArray& line : header) {
        if (line.isEmpty())
            break;
        if (line.front() == ' ' || line.front() == '\t') {
            if (inField)
                value += line;
            continue;
        }
        inField = line.size() >= prefix.size() && line.left(prefix.size()).toLower() == prefix;
        if (inField)
            value = line.mid(prefix.size());
    }
    return value;
}

} // namespace HeaderText
