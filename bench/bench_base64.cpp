// Base64 decoding throughput of TUUProcessor beside coreutils' base64 -d, on
// the same 50 MiB attachment in 76-character lines, file to file.
#include "UUCodec.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kSize = 50 * 1024 * 1024;
constexpr int kRounds = 3;

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray encodeLines(const QByteArray& data, const char* lineEnd)
{
    const QByteArray text = data.toBase64();
    QByteArray lines;
    lines.reserve(text.size() + text.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < text.size(); i += 76)
        lines.append(text.constData() + i, std::min<qsizetype>(76, text.size() - i)).append(lineEnd);
    return lines;
}

qint64 timeProcessor(const QString& input, const QString& output)
{
    QFile in(input);
    QFile out(output);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return -1;
    QElapsedTimer timer;
    timer.start();
    TUUProcessor processor;
    processor.setInputStream(&in);
    processor.setOutputStream(&out);
    processor.Decode();
    out.close();
    return timer.nsecsElapsed();
}

qint64 timeCoreutils(const QString& input, const QString& output)
{
    QProcess process;
    process.setStandardOutputFile(output);
    QElapsedTimer timer;
    timer.start();
    process.start(u"base64"_s, {u"-d"_s, input});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return -1;
    return timer.nsecsElapsed();
}

double mibPerSecond(qint64 nanoseconds)
{
    return double(kSize) / (1024.0 * 1024.0) / (double(nanoseconds) / 1e9);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QByteArray data(kSize, Qt::Uninitialized);
    QRandomGenerator generator(20240601);
    generator.fillRange(reinterpret_cast<quint32*>(data.data()), kSize / 4);

    const QString lfFile = dir.filePath(u"attachment-lf.b64"_s);
    const QString crlfFile = dir.filePath(u"attachment-crlf.b64"_s);
    const QString decoded = dir.filePath(u"decoded.bin"_s);
    if (!writeFile(lfFile, encodeLines(data, "\n")) || !writeFile(crlfFile, encodeLines(data, "\r\n"))) {
        std::fprintf(stderr, "cannot write the test files\n");
        return 1;
    }

    qint64 best[3] = {-1, -1, -1};
    const auto keep = [&](int which, qint64 ns) {
        if (ns < 0 || readFile(decoded) != data) {
            std::fprintf(stderr, "decoder %d failed or decoded wrongly\n", which);
            std::exit(1);
        }
        if (best[which] < 0 || ns < best[which])
            best[which] = ns;
    };
    for (int round = 0; round < kRounds; ++round) {
        keep(0, timeProcessor(lfFile, decoded));
        keep(1, timeProcessor(crlfFile, decoded));
        keep(2, timeCoreutils(lfFile, decoded));
    }

    std::printf("50 MiB attachment, 76-character lines, best of %d runs (MiB/s of decoded bytes)\n", kRounds);
    std::printf("TUUProcessor, LF lines:    %8.1f MiB/s\n", mibPerSecond(best[0]));
    std::printf("TUUProcessor, CR LF lines: %8.1f MiB/s\n", mibPerSecond(best[1]));
    std::printf("coreutils base64 -d, LF:   %8.1f MiB/s\n", mibPerSecond(best[2]));
    std::printf("ratio TUUProcessor / coreutils (LF): %.2f\n", double(best[2]) / double(best[0]));
    return 0;
}
