// Time to log on and fetch the summaries of a large mailbox with TPop3Client,
// beside the same conversation held by Python's poplib against the same server.
#include "DovecotServer.h"
#include "Pop3Client.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int kMessages = 2000;

const char* const kPoplib = R"(
import poplib, sys, time
host, port, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
start = time.perf_counter()
box = poplib.POP3(host, port, timeout=20)
box.user(user)
box.pass_(password)
count = box.stat()[0]
total = 0
for n in range(1, count + 1):
    box.top(n, 0)
    total += int(box.list(n).split()[2])
box.quit()
print(f"{(time.perf_counter() - start) * 1000:.1f} {count} {total}")
)";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!DovecotServer::isAvailable()) {
        std::fprintf(stderr, "dovecot is not installed\n");
        return 1;
    }
    DovecotServer server;
    for (int i = 1; i <= kMessages; ++i) {
        const QByteArray n = QByteArray::number(i);
        server.addMessage("From: Sender " + n + " <sender" + n +
                          "@example.org>\nTo: test@example.org\nSubject: Message " + n + "\nMessage-ID: <" + n +
                          "@example.org>\nDate: Mon, 1 Jan 2024 10:00:00 +0000\n\n" + QByteArray(200 + i % 500, 'x') +
                          "\n");
    }
    if (!server.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }

    // One unmeasured pass lets Dovecot build its index, so both runs find the same server state.
    QProcess warmup;
    const QStringList pyArgs = {u"-c"_s,
                                QString::fromUtf8(kPoplib),
                                QString::fromLatin1(server.host()),
                                QString::number(server.port()),
                                QString::fromLatin1(server.user()),
                                QString::fromLatin1(server.password())};
    warmup.start(u"python3"_s, pyArgs);
    warmup.waitForFinished(120000);

    TPop3Client client;
    client.Host = QString::fromLatin1(server.host());
    client.Port = server.port();
    client.UserID = QString::fromLatin1(server.user());
    client.Password = QString::fromLatin1(server.password());
    client.TimeOut = 20000;
    qint64 total = 0;
    QElapsedTimer clock;
    clock.start();
    client.Connect();
    for (int n = 1; n <= client.MessageCount(); ++n) {
        client.RetrieveSummary(n);
        total += client.Summary().Bytes;
    }
    const int count = client.MessageCount();
    client.Disconnect();
    const double oursMs = double(clock.nsecsElapsed()) / 1e6;

    QProcess python;
    python.start(u"python3"_s, pyArgs);
    if (!python.waitForFinished(120000) || python.exitCode() != 0) {
        std::fprintf(stderr, "poplib run failed: %s\n", python.readAllStandardError().constData());
        return 1;
    }
    const QList<QByteArray> fields = python.readAllStandardOutput().trimmed().split(' ');
    const double poplibMs = fields.value(0).toDouble();

    std::printf("messages: %d (poplib saw %s), bytes: %lld (poplib %s)\n", count, fields.value(1).constData(),
                static_cast<long long>(total), fields.value(2).constData());
    std::printf("TPop3Client: %.1f ms\npoplib:      %.1f ms\nratio TPop3Client / poplib: %.2f\n", oursMs, poplibMs,
                oursMs / poplibMs);
    return 0;
}
