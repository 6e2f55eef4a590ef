// Header text from hostile senders: whatever a sender, subject or part header
// holds, decoding must not crash, and no control character may come out into
// a label or a file name.
#include "AttachmentName.h"
#include "HeaderText.h"

#include <QFile>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool hasControl(const QString& text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = HeaderText::decode(input);
    check(!hasControl(text) && text == text.trimmed());

    // The same bytes as a header: folded fields and part parameters.
    TExStringList lines = input.split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    check(!hasControl(HeaderText::decode(HeaderText::unfolded(lines, "Subject"))));

    AttachmentName::Parameters parameters;
    for (const QByteArray& line : std::as_const(lines))
        parameters.addLine(line);
    const QString name = parameters.name();
    check(!hasControl(name));
    const QString bare = AttachmentName::bare(name);
    check(!bare.isEmpty() && !bare.contains(u'/') && !bare.contains(u'\\'));
    check(QFile::encodeName(bare).size() <= AttachmentName::MaxBytes);
    return 0;
}
