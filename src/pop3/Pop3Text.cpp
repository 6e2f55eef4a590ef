#include "Pop3Text.h"

#include "UiLanguage.h"

#include <algorithm>
#include <cstring>

QByteArray NthField(QByteArrayView Text, char Delimiter, int N)
{
    if (N < 1)
        return {};
    qsizetype start = 0;
    for (int field = 1; field < N; ++field) {
        const qsizetype next = Text.indexOf(Delimiter, start);
        if (next < 0)
            return {};
        start = next + 1;
    }
    const qsizetype end = Text.indexOf(Delimiter, start);
    return (end < 0 ? Text.sliced(start) : Text.sliced(start, end - start)).toByteArray();
}

int LastPos(const QByteArray& Part, const QByteArray& Text)
{
    if (Part.isEmpty())
        return 0;
    return static_cast<int>(Text.lastIndexOf(Part) + 1);
}

qsizetype IndexOfNoCase(QByteArrayView Text, QByteArrayView Needle, qsizetype From)
{
    From = std::max<qsizetype>(From, 0);
    if (Needle.isEmpty())
        return From <= Text.size() ? From : -1;
    const qsizetype last = Text.size() - Needle.size();
    if (From > last)
        return -1;
    // The first character is looked for in both cases with memchr, which is
    // far faster than a loop of our own; only there is the rest compared.
    const char first = Needle.front();
    const char lowerFirst = first >= 'A' && first <= 'Z' ? char(first | 0x20) : first;
    const char upperFirst = lowerFirst >= 'a' && lowerFirst <= 'z' ? char(lowerFirst & ~0x20) : lowerFirst;
    const char* text = Text.data();
    const char* const end = text + last + 1;
    const auto find = [end](const char* from, char c) {
        const auto* at = static_cast<const char*>(std::memchr(from, c, size_t(end - from)));
        return at ? at : end;
    };
    const char* nextLower = find(text + From, lowerFirst);
    const char* nextUpper = upperFirst == lowerFirst ? end : find(text + From, upperFirst);
    for (;;) {
        const char* candidate = std::min(nextLower, nextUpper);
        if (candidate == end)
            return -1;
        if (QByteArrayView(candidate + 1, Needle.size() - 1).compare(Needle.sliced(1), Qt::CaseInsensitive) == 0)
            return candidate - text;
        if (candidate == nextLower)
            nextLower = find(candidate + 1, lowerFirst);
        else
            nextUpper = find(candidate + 1, upperFirst);
    }
}

QString Pop3AuthenticationFailed()
{
    using namespace Qt::StringLiterals;
    return byLanguage(u"Die Authentifizierung ist fehlgeschlagen"_s, u"Authentication failed"_s);
}
