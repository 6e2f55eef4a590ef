#include "MimeWalk.h"

#include "AnsiText.h"
#include "AttachmentName.h"
#include "Exception.h"
#include "Pop3Text.h"
#include "UiLanguage.h"

#include <QFileDevice>
#include <QIODevice>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kFieldLength = 256;
constexpr qint64 kCopyChunk = 64 * 1024;

QByteArray withoutLineEnd(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// Whether the line's first word (up to the first blank) is the field name.
bool isField(QByteArrayView line, QByteArrayView name)
{
    return line.size() >= name.size() && qstrnicmp(line.data(), name.data(), size_t(name.size())) == 0 &&
           (line.size() == name.size() || line.at(name.size()) == ' ');
}

// The value after "BOUNDARY=": quoted, or up to the next parameter or blank.
QByteArray boundaryValue(QByteArrayView line, qsizetype from)
{
    const QByteArrayView value = line.sliced(from).trimmed();
    if (value.startsWith('"')) {
        const qsizetype close = value.indexOf('"', 1);
        return (close < 0 ? value.sliced(1) : value.sliced(1, close - 1)).toByteArray();
    }
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) == ';' || value.at(i) == ' ' || value.at(i) == '\t')
            return value.first(i).toByteArray();
    }
    return value.toByteArray();
}

// The transfer encoding is the text after the colon that follows the field
// name, blanks trimmed; position and case of the value do not matter.
QByteArray encodingValue(QByteArrayView line, qsizetype from)
{
    const qsizetype colon = line.indexOf(':', from);
    const QByteArrayView value = line.sliced(colon < 0 ? from : colon + 1).trimmed();
    return value.first(std::min(value.size(), kFieldLength)).toByteArray();
}

// The value of a field from the given position on, at most kFieldLength bytes.
QByteArray field(QByteArrayView line, qsizetype from)
{
    return from < line.size() ? line.sliced(from).first(std::min(line.size() - from, kFieldLength)).toByteArray()
                              : QByteArray();
}

} // namespace

TMimeWalk::TMimeWalk(TMailMessage& message, QString folder, bool parse, Hooks hooks)
    : TMimeWalk(message, *new TFolderSink(std::move(folder)), parse, std::move(hooks))
{
    m_ownSink.reset(&m_sink);
}

TMimeWalk::TMimeWalk(TMailMessage& message, TPartSink& sink, bool parse, Hooks hooks)
    : m_message(message), m_sink(sink), m_parse(parse), m_hooks(std::move(hooks))
{}

TMimeWalk::~TMimeWalk()
{
    removeTemp();
}

int TMimeWalk::tempCounter()
{
    return TFolderSink::tempCounter();
}

void TMimeWalk::status(int level, const QString& text) const
{
    if (m_hooks.status)
        m_hooks.status(level, text);
}

void TMimeWalk::fileError(const QString& path, const QString& reason)
{
    throw Exception(byLanguage(u"Die Datei \""_s, u"The file \""_s) + path +
                    byLanguage(u"\" kann nicht erstellt werden: "_s, u"\" cannot be created: "_s) + reason);
}

void TMimeWalk::walk(QIODevice& source, TMailMessage& message, const QString& folder, bool parse, Hooks hooks)
{
    TMimeWalk walk(message, folder, parse, std::move(hooks));
    walkLines(source, walk);
}

void TMimeWalk::walk(QIODevice& source, TMailMessage& message, TPartSink& sink, bool parse, Hooks hooks)
{
    TMimeWalk walk(message, sink, parse, std::move(hooks));
    walkLines(source, walk);
}

void TMimeWalk::walkLines(QIODevice& source, TMimeWalk& walk)
{
    try {
        while (!source.atEnd())
            walk.addLine(withoutLineEnd(source.readLine()));
        walk.finish();
    } catch (...) {
        walk.abandon();
        throw;
    }
}

void TMimeWalk::addLine(QByteArrayView line)
{
    switch (m_stage) {
    case Stage::MessageHeader:
        if (headerLine(line, m_message.Boundary))
            bodyBegins();
        break;
    case Stage::Preamble:
        if (isDelimiter(line))
            partHeaderBegins();
        break;
    case Stage::PartHeader:
        if (headerLine(line, m_partBoundary)) {
            m_stage = Stage::PartBody;
            beginPart();
        }
        break;
    case Stage::PartBody:
        if (isDelimiter(line)) {
            const bool closing = line.sliced(2 + m_message.Boundary.size()).startsWith("--");
            endPart();
            if (closing)
                m_stage = Stage::Epilogue;
            else
                partHeaderBegins();
        } else {
            partLine(line);
        }
        break;
    case Stage::Single:
        if (m_partOpen)
            partLine(line);
        else
            m_message.Body.append(line.toByteArray());
        break;
    case Stage::Epilogue:
        break;
    }
}

// Only a line that begins with "--" and the boundary ends a part (RFC 2046).
// The boundary text elsewhere in a line is content: a short boundary such as
// "big" turns up in Base64 lines by chance and would cut the attachment there.
bool TMimeWalk::isDelimiter(QByteArrayView line) const
{
    return !m_message.Boundary.isEmpty() && line.startsWith("--") && line.sliced(2).startsWith(m_message.Boundary);
}

bool TMimeWalk::headerLine(QByteArrayView line, QByteArray& boundary)
{
    if (m_partState == 2)
        m_message.Head.append(line.toByteArray());
    if (line.isEmpty()) {
        if (m_partState == 2)
            m_partState = 1;
        return true;
    }
    if (isField(line, "SUBJECT:"))
        m_message.Subject = field(line, 8);
    else if (isField(line, "FROM:"))
        m_message.From = field(line, 6);
    else if (isField(line, "CONTENT-TYPE:"))
        m_message.ContentType = field(line, 14);
    else if (isField(line, "MESSAGE-ID:"))
        m_message.MessageId = field(line, 12);

    // Parameters are looked for anywhere, so they are found on continuation lines too.
    if (const qsizetype at = IndexOfNoCase(line, "BOUNDARY="); at >= 0)
        boundary = boundaryValue(line, at + 9);
    if (const qsizetype at = IndexOfNoCase(line, "CONTENT-TRANSFER-ENCODING"); at >= 0)
        m_transferEncoding = encodingValue(line, at + 25);
    if (IndexOfNoCase(line, "NAME") >= 0)
        m_name.addLine(line);
    return false;
}

void TMimeWalk::bodyBegins()
{
    if (IndexOfNoCase(m_message.ContentType, "multipart") >= 0) {
        m_stage = Stage::Preamble;
        return;
    }
    m_stage = Stage::Single;
    if (!m_parse)
        return;
    if (IndexOfNoCase(m_transferEncoding, "base64") >= 0) {
        m_partState = 0;
        m_bodyFromFile = true;
    }
    beginPart();
}

void TMimeWalk::partHeaderBegins()
{
    // Every part starts without the name and encoding of the part before it.
    m_stage = Stage::PartHeader;
    m_name.clear();
    m_transferEncoding.clear();
    m_partBoundary.clear();
}

void TMimeWalk::beginPart()
{
    if (m_partState == 0)
        m_temp = &m_sink.openTemp();
    m_partOpen = true;
    status(1, byLanguage(u"Extrahieren der Datei"_s, u"Extracting the file"_s));
}

void TMimeWalk::partLine(QByteArrayView line)
{
    if (m_partState > 0) {
        m_message.Body.append(line.toByteArray());
    } else if (m_temp->write(line.data(), line.size()) != line.size() || m_temp->write("\r\n", 2) != 2) {
        fileError(m_sink.tempWhere(), m_temp->errorString());
    }
    if (m_hooks.lineMoved)
        m_hooks.lineMoved();
}

void TMimeWalk::endPart()
{
    if (m_partOpen && m_partState == 0) {
        if (auto* file = qobject_cast<QFileDevice*>(m_temp); file && !file->flush())
            fileError(m_sink.tempWhere(), m_temp->errorString());
        if (m_temp->size() > 0)
            storeFile();
        removeTemp();
    }
    m_partOpen = false;
    m_partState = 0;
}

void TMimeWalk::removeTemp()
{
    m_sink.removeTemp();
    m_temp = nullptr;
}

// The alternatives of a name are tried from the one after the last this walk
// took: nothing it found taken becomes free while it runs, and a message with
// thousands of parts of one name would otherwise try them all again each time.
QString TMimeWalk::firstFree(const QString& name)
{
    if (!m_sink.taken(name))
        return name;
    int& k = m_lastAlternative[name];
    QString candidate;
    do
        candidate = AttachmentName::alternative(name, ++k);
    while (m_sink.taken(candidate));
    return candidate;
}

// Creates the attachment file under the name or, when something appeared
// under it meanwhile, under the next free alternative.
QString TMimeWalk::claim(const QString& name, std::unique_ptr<QIODevice>& file)
{
    for (int k = 0; k < 100000; ++k) {
        const QString candidate = k == 0 ? name : AttachmentName::alternative(name, k);
        if (m_sink.taken(candidate))
            continue;
        if ((file = m_sink.create(candidate))) {
            m_written.append(candidate);
            return candidate;
        }
    }
    fileError(m_sink.where(name), byLanguage(u"kein freier Name"_s, u"no free name"_s));
}

void TMimeWalk::storeFile()
{
    QString name = firstFree(AttachmentName::bare(m_name.name()));
    if (m_hooks.decodeStart) {
        QString changed = name;
        m_hooks.decodeStart(changed);
        // The handler's name obeys the same rules as the sender's.
        if (changed != name)
            name = firstFree(AttachmentName::bare(changed));
    }

    std::unique_ptr<QIODevice> out;
    name = claim(name, out);
    if (!m_temp->seek(0))
        fileError(m_sink.tempWhere(), m_temp->errorString());
    if (const auto method = TUUProcessor::MethodFor(m_transferEncoding)) {
        status(1, byLanguage(u"Decodieren der Datei"_s, u"Decoding the file"_s));
        m_decoder.setMethod(*method);
        m_decoder.setInputStream(m_temp);
        m_decoder.setOutputStream(out.get());
        m_decoder.Decode();
    } else {
        // Stored as received, each line ending in CR LF.
        // No bigger block than what is left: read() sets aside all it is asked for.
        QByteArray chunk;
        while (!(chunk = m_temp->read(std::min(kCopyChunk, m_temp->size() - m_temp->pos()))).isEmpty()) {
            if (out->write(chunk) != chunk.size())
                fileError(m_sink.where(name), out->errorString());
        }
    }
    out->close();
    if (auto* file = qobject_cast<QFileDevice*>(out.get()); file && file->error() != QFileDevice::NoError)
        fileError(m_sink.where(name), file->errorString());

    m_message.Body.append("\r\nDatei \"" + AnsiText::toAnsi(name) + "\" extrahiert");
    m_message.Attachments.append(name);
}

void TMimeWalk::finish()
{
    if (m_partOpen)
        endPart();
    if (m_bodyFromFile) {
        // A single-part Base64 message: its decoded content is the body text.
        m_message.Body.clear();
        if (!m_message.Attachments.isEmpty())
            loadBody(m_message.Attachments.constFirst());
    }
}

void TMimeWalk::loadBody(const QString& name)
{
    const std::unique_ptr<QIODevice> file = m_sink.open(name);
    if (!file)
        throw Exception(byLanguage(u"Die Datei \""_s, u"The file \""_s) + m_sink.where(name) +
                        byLanguage(u"\" kann nicht gelesen werden"_s, u"\" cannot be read"_s));
    while (!file->atEnd())
        m_message.Body.append(withoutLineEnd(file->readLine()));
}

void TMimeWalk::abandon()
{
    removeTemp();
    for (const QString& name : std::as_const(m_written))
        m_sink.remove(name);
    m_written.clear();
    m_partOpen = false;
    m_message.Body.clear();
    m_message.Attachments.clear();
}
