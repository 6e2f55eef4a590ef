// The MIME walk on arbitrary messages: it must neither crash nor store
// anything but the attachments it lists, each under a bare name, and it must
// leave no temporary part open. The parts stay in memory, so a run is fast.
#include "Exception.h"
#include "MimeWalk.h"

#include <QFile>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sanitizer/asan_interface.h>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Holds one line at a time at the start of a buffer that the whole input
// fits into, everything after the line poisoned: a read or write past either
// end of the line is caught as if the line had a block of its own, without
// the allocation a copy per line would cost. Once the walk is done with a
// line it is poisoned too, so a view the walk kept would be caught on use.
class LineBuffer
{
public:
    explicit LineBuffer(qsizetype capacity)
        : m_capacity(std::max<qsizetype>(capacity, 1)), m_data(new char[size_t(m_capacity)])
    {
        ASAN_POISON_MEMORY_REGION(m_data.get(), size_t(m_capacity));
    }
    ~LineBuffer() { ASAN_UNPOISON_MEMORY_REGION(m_data.get(), size_t(m_capacity)); }

    QByteArrayView hold(QByteArrayView line)
    {
        m_length = line.size();
        ASAN_UNPOISON_MEMORY_REGION(m_data.get(), size_t(m_length));
        if (m_length > 0)
            std::memcpy(m_data.get(), line.data(), size_t(m_length));
        return QByteArrayView(m_data.get(), m_length);
    }
    void release() { ASAN_POISON_MEMORY_REGION(m_data.get(), size_t(m_length)); }

private:
    qsizetype m_capacity;
    std::unique_ptr<char[]> m_data;
    qsizetype m_length = 0;
};

} // namespace

// Most of a run is spent allocating, and the sanitizer records the call stack
// of every allocation. The faults are found all the same without those stacks;
// to see where a block was allocated and freed, run a crashing input again
// with ASAN_OPTIONS=malloc_context_size=30.
extern "C" const char* __asan_default_options()
{
    return "malloc_context_size=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the options: parse single parts, and whether a
    // decode-start handler replaces the name with the rest of the input's first line.
    const bool parse = data[0] & 1;
    const bool rename = data[0] & 2;
    const QByteArrayView message(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    TMimeWalk::Hooks hooks;
    const qsizetype firstEnd = message.indexOf('\n');
    const QString firstLine =
        rename ? QString::fromLatin1(firstEnd < 0 ? message : message.first(firstEnd)) : QString();
    if (rename)
        hooks.decodeStart = [&](QString& name) { name = firstLine; };
    TMailMessage mail;
    TMemorySink sink;
    LineBuffer buffer(message.size());
    bool failed = false;
    {
        // Line by line, as the client feeds it; CR LF and LF both end a line.
        TMimeWalk walk(mail, sink, parse, hooks);
        try {
            for (qsizetype start = 0; start < message.size();) {
                qsizetype end = message.indexOf('\n', start);
                if (end < 0)
                    end = message.size();
                QByteArrayView line = message.sliced(start, end - start);
                if (line.endsWith('\r'))
                    line.chop(1);
                walk.addLine(buffer.hold(line));
                buffer.release();
                start = end + 1;
            }
            walk.finish();
        } catch (const Exception&) {
            walk.abandon();
            failed = true;
        }
    }

    check(!sink.tempOpen());
    QStringList found;
    for (const auto& [name, content] : sink.files())
        found.append(name);
    QStringList listed = failed ? QStringList{} : mail.Attachments;
    listed.sort();
    check(found == listed);
    for (const QString& name : std::as_const(found)) {
        check(!name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')));
        check(QFile::encodeName(name).size() <= 255);
    }
    return 0;
}
