#include "UUCodec.h"

#include "Exception.h"
#include "Pop3Text.h"

#include <QByteArrayView>
#include <QFileDevice>
#include <QIODevice>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kChunk = 64 * 1024;

// Buffers no larger than the input needs: most parts are small, and a
// message with many of them should not cost two large buffers each.
qsizetype chunkFor(QIODevice* input)
{
    if (input->isSequential())
        return kChunk;
    return std::clamp<qsizetype>(qsizetype(input->size() - input->pos()) + 1, 256, kChunk);
}

QString streamError(const char* what, const QIODevice* device)
{
    const QString reason = device->errorString();
    return reason.isEmpty() ? QString::fromLatin1(what) : QString::fromLatin1(what) + u": "_s + reason;
}

// Hands out the lines of a stream from its current position, reading in large
// chunks. A line ends at LF; the LF and a CR right before it are not part of
// it, so CR LF and bare LF lines read alike. A line may have any length, and a
// last line without LF still counts.
class LineReader
{
public:
    explicit LineReader(QIODevice* device) : m_device(device), m_buffer(size_t(chunkFor(device)))
    {
        if (!m_device->isSequential())
            m_startPos = m_device->pos();
    }

    // The view stays valid until the next call.
    bool next(QByteArrayView& line)
    {
        qsizetype searchFrom = m_begin;
        for (;;) {
            const char* base = m_buffer.data();
            const auto* lf = static_cast<const char*>(std::memchr(base + searchFrom, '\n', m_end - searchFrom));
            if (lf) {
                const qsizetype length = lf - (base + m_begin);
                take(line, length, length + 1);
                return true;
            }
            searchFrom = m_end - m_begin;
            if (!fill()) {
                if (m_begin == m_end)
                    return false;
                take(line, m_end - m_begin, m_end - m_begin);
                return true;
            }
            searchFrom += m_begin;
        }
    }

    // Leaves a random-access stream right after the last line taken, as if it
    // had been read line by line.
    void finish()
    {
        if (!m_device->isSequential())
            m_device->seek(m_startPos + m_consumed);
    }

private:
    void take(QByteArrayView& line, qsizetype length, qsizetype consumed)
    {
        const char* start = m_buffer.data() + m_begin;
        if (length > 0 && start[length - 1] == '\r')
            --length;
        line = QByteArrayView(start, length);
        m_begin += consumed;
        m_consumed += consumed;
    }

    // Moves the unread rest to the front and appends what the stream gives.
    bool fill()
    {
        const qsizetype rest = m_end - m_begin;
        if (m_begin > 0 && rest > 0)
            std::memmove(m_buffer.data(), m_buffer.data() + m_begin, static_cast<size_t>(rest));
        m_begin = 0;
        m_end = rest;
        if (m_end == qsizetype(m_buffer.size()))
            m_buffer.resize(m_buffer.size() * 2);
        const qint64 got = m_device->read(m_buffer.data() + m_end, qint64(m_buffer.size()) - m_end);
        if (got < 0)
            throw Exception(streamError("Stream read error", m_device));
        m_end += got;
        return got > 0;
    }

    QIODevice* m_device;
    std::vector<char> m_buffer;
    qsizetype m_begin = 0;
    qsizetype m_end = 0;
    qint64 m_startPos = 0;
    qint64 m_consumed = 0;
};

// Collects decoded bytes and writes them in large chunks; every short write is
// an error, and so is a file device that cannot flush at the end.
class ByteSink
{
public:
    ByteSink(QIODevice* device, qsizetype chunk) : m_device(device), m_buffer(size_t(chunk)) {}

    unsigned char* reserve(qsizetype count)
    {
        if (m_length + count > qsizetype(m_buffer.size())) {
            flush();
            if (count > qsizetype(m_buffer.size()))
                m_buffer.resize(static_cast<size_t>(count));
        }
        return m_buffer.data() + m_length;
    }
    void commit(qsizetype count) { m_length += count; }

    void finish()
    {
        flush();
        if (auto* file = qobject_cast<QFileDevice*>(m_device); file && !file->flush())
            throw Exception(streamError("Stream write error", m_device));
    }

private:
    void flush()
    {
        if (m_length == 0)
            return;
        const qint64 written = m_device->write(reinterpret_cast<const char*>(m_buffer.data()), m_length);
        if (written != m_length)
            throw Exception(streamError("Stream write error", m_device));
        m_length = 0;
    }

    QIODevice* m_device;
    std::vector<unsigned char> m_buffer;
    qsizetype m_length = 0;
};

constexpr signed char kOutside = -1;
constexpr signed char kPad = -2;

constexpr std::array<signed char, 256> makeBase64Table()
{
    std::array<signed char, 256> table{};
    for (auto& value : table)
        value = kOutside;
    for (int i = 0; i < 26; ++i) {
        table['A' + i] = static_cast<signed char>(i);
        table['a' + i] = static_cast<signed char>(26 + i);
    }
    for (int i = 0; i < 10; ++i)
        table['0' + i] = static_cast<signed char>(52 + i);
    table['+'] = 62;
    table['/'] = 63;
    table['='] = kPad;
    return table;
}
constexpr std::array<signed char, 256> kBase64 = makeBase64Table();

// Decodes one Base64 line into out; returns the number of bytes and sets
// runEnds when a pad character or a short group ends the run after this line.
qsizetype decodeBase64Line(const unsigned char* s, qsizetype n, unsigned char* out, bool& runEnds)
{
    unsigned char* const outStart = out;
    qsizetype i = 0;
    // Skips characters outside the alphabet within a group, as RFC 2045 asks,
    // and stops at the line end or a pad.
    const auto nextInGroup = [&](int& value) {
        while (i < n && kBase64[s[i]] == kOutside)
            ++i;
        if (i >= n)
            return false;
        value = kBase64[s[i++]];
        return true;
    };

    while (i < n) {
        // Fast path: four alphabet characters in a row.
        if (i + 4 <= n) {
            const int w = kBase64[s[i]], x = kBase64[s[i + 1]], y = kBase64[s[i + 2]], z = kBase64[s[i + 3]];
            if ((w | x | y | z) >= 0) {
                const unsigned triple = unsigned(w) << 18 | unsigned(x) << 12 | unsigned(y) << 6 | unsigned(z);
                out[0] = static_cast<unsigned char>(triple >> 16);
                out[1] = static_cast<unsigned char>(triple >> 8);
                out[2] = static_cast<unsigned char>(triple);
                out += 3;
                i += 4;
                continue;
            }
        }
        // At the start of a group anything outside the alphabet, a pad too, is skipped by itself.
        const int w = kBase64[s[i++]];
        if (w < 0)
            continue;
        int x = 0;
        if (!nextInGroup(x) || x == kPad) {
            // Six bits make no byte: the group is cut short and gives nothing.
            runEnds = true;
            continue;
        }
        *out++ = static_cast<unsigned char>(w << 2 | x >> 4);
        int y = 0;
        if (!nextInGroup(y)) {
            runEnds = true;
            break;
        }
        if (y == kPad) {
            runEnds = true;
            if (i < n && s[i] == '=')
                ++i;
            continue;
        }
        *out++ = static_cast<unsigned char>(x << 4 | y >> 2);
        int z = 0;
        if (!nextInGroup(z) || z == kPad) {
            runEnds = true;
            continue;
        }
        *out++ = static_cast<unsigned char>(y << 6 | z);
    }
    return out - outStart;
}

// Value of one uuencoded character: the blank and the grave accent both mean 0.
inline unsigned uuValue(unsigned char c)
{
    return (unsigned(c) - 32u) & 63u;
}

} // namespace

TUUProcessor::TUUProcessor(QObject* parent) : QObject(parent) {}

TUUProcessor::~TUUProcessor() = default;

std::optional<UUMethods> TUUProcessor::MethodFor(const QByteArray& transferEncoding)
{
    if (IndexOfNoCase(transferEncoding, "x-uuencode") >= 0)
        return UUMethods::uuCode;
    if (IndexOfNoCase(transferEncoding, "base64") >= 0)
        return UUMethods::uuMime;
    return std::nullopt;
}

void TUUProcessor::Decode()
{
    if (!m_input || !m_output)
        throw Exception(u"Decoding needs an input and an output stream"_s);
    if (!m_input->isReadable())
        throw Exception(streamError("Stream read error", m_input));
    if (!m_output->isWritable())
        throw Exception(streamError("Stream write error", m_output));

    if (OnBeginDecode)
        OnBeginDecode(this);
    if (m_method == UUMethods::uuCode)
        decodeUU();
    else
        decodeBase64();
    if (OnEndDecode)
        OnEndDecode(this);
}

void TUUProcessor::decodeBase64()
{
    LineReader reader(m_input);
    ByteSink sink(m_output, chunkFor(m_input));
    QByteArrayView line;
    bool runEnds = false;
    while (!runEnds && reader.next(line)) {
        const auto* s = reinterpret_cast<const unsigned char*>(line.data());
        const qsizetype n = line.size();
        if (n <= 2 || line.startsWith("===="))
            continue;

        qsizetype first = 0;
        while (first < n && kBase64[s[first]] < 0) {
            if (s[first] == '=')
                break;
            ++first;
        }
        if (first < n && s[first] == '=')
            break;
        if (first >= n - 1)
            continue;

        unsigned char* out = sink.reserve((n - first) / 4 * 3 + 3);
        sink.commit(decodeBase64Line(s + first, n - first, out, runEnds));
    }
    sink.finish();
    reader.finish();
}

void TUUProcessor::decodeUU()
{
    LineReader reader(m_input);
    ByteSink sink(m_output, chunkFor(m_input));
    QByteArrayView line;
    bool skipNext = false;
    while (reader.next(line)) {
        // The trailer ends the run: text after it (a signature, a footer) is
        // no uuencoded data and would otherwise be decoded into the file.
        if (line == "end")
            break;
        if (skipNext) {
            skipNext = false;
            continue;
        }
        const auto* s = reinterpret_cast<const unsigned char*>(line.data());
        const qsizetype n = line.size();
        if (n <= 2 || line.startsWith("begin "))
            continue;

        int count = int(uuValue(s[0]));
        if (count == 0) {
            skipNext = true;
            continue;
        }
        // Characters missing at the end of a short line count as 0, so a line
        // whose trailing blanks were stripped in transport still decodes.
        const auto at = [&](qsizetype k) { return k < n ? uuValue(s[k]) : 0u; };
        unsigned char* out = sink.reserve(count);
        qsizetype written = 0;
        for (qsizetype k = 1; count > 0; k += 4, count -= 3) {
            const unsigned c1 = at(k), c2 = at(k + 1), c3 = at(k + 2), c4 = at(k + 3);
            out[written++] = static_cast<unsigned char>(c1 << 2 | c2 >> 4);
            if (count >= 2)
                out[written++] = static_cast<unsigned char>(c2 << 4 | c3 >> 2);
            if (count >= 3)
                out[written++] = static_cast<unsigned char>(c3 << 6 | c4);
        }
        sink.commit(written);
    }
    sink.finish();
    reader.finish();
}
