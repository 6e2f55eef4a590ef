#pragma once

#include "MailMessage.h"

#include <QByteArray>
#include <QString>

// Header fields as a person should read them. On the wire a sender or subject
// outside ASCII comes as encoded words ("=?utf-8?q?J=C3=B6rg?="), as raw UTF-8
// or in a single-byte code page; the raw bytes stay what screening has always
// matched, and these helpers give the text beside them.
namespace HeaderText {

// What becomes of a control character: a blank in text that is shown, nothing
// in a file name, which has always lost them.
enum class Controls
{
    Blank,
    Drop
};

// Decodes encoded words (B and Q, any charset the toolkit knows, an optional
// "*language" after the charset); blanks between two adjacent encoded words
// vanish, and adjacent words of one charset are joined before decoding, so a
// character split across two words survives. A malformed word or one in an
// unknown charset stays as it stands. Other text is read as UTF-8 when it is
// valid UTF-8 and as Windows-1252 otherwise. The result is readable().
QString decode(const QByteArray& raw, Controls controls = Controls::Blank);

// The text without control characters (nor line separators or direction
// overrides, which would make a label or a name read otherwise), blanks at
// both ends trimmed.
QString readable(QString text, Controls controls = Controls::Blank);

// The value of the last field of that name (compared without case, colon
// excluded) with its continuation lines joined to it, as the wire has it.
// Empty when the header has no such field.
QByteArray unfolded(const TExStringList& header, const QByteArray& name);

// Bytes in a named charset; a charset the toolkit does not know, or none,
// gives the reading of plain header text (UTF-8 if valid, else Windows-1252).
// ISO-8859-1 and US-ASCII are read as Windows-1252, which mailers send under
// those names, so the euro sign and the typographic quotes survive.
QString fromCharset(const QByteArray& bytes, const QByteArray& charset);

} // namespace HeaderText
