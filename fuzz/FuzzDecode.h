#pragma once

#include "UUCodec.h"

#include <QBuffer>
#include <cstdlib>

// Feeds the input through the decoder into memory. Neither method can make
// more bytes than it reads, apart from uudecoding filling short lines with
// zero values up to the count of the line (at most 63 bytes per line).
inline int fuzzDecode(UUMethods method, const uint8_t* data, size_t size)
{
    QBuffer in;
    in.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    TUUProcessor processor;
    processor.setMethod(method);
    processor.setInputStream(&in);
    processor.setOutputStream(&out);
    processor.Decode();
    const qsizetype limit = method == UUMethods::uuMime ? qsizetype(size) : qsizetype(size) * 63;
    if (out.data().size() > limit)
        std::abort();
    return 0;
}
