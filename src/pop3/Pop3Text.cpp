#include "Pop3Text.h"

QByteArray NthField(const QByteArray& Text, char Delimiter, int N)
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
    return end < 0 ? Text.mid(start) : Text.mid(start, end - start);
}

int LastPos(const QByteArray& Part, const QByteArray& Text)
{
    if (Part.isEmpty())
        return 0;
    return static_cast<int>(Text.lastIndexOf(Part) + 1);
}
