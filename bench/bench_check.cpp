// The check as the user runs it: the real main window on a display (run it
// under xvfb-run with QT_QPA_PLATFORM=xcb), a 2,000-message Dovecot mailbox,
// the time from pressing Check to the complete list. Measured alternately
// with a reference client in the same run:
//   loopback: Python's poplib doing LIST, then TOP n 0 and LIST n per message;
//   --delay MS: through a relay that holds every packet MS/2 milliseconds each
//   way, against a minimal client that sends every command at once and only
//   reads (the limit of the link).
// Usage: bench_check [--delay MS] [--rounds N] [--messages N] [--disconnect-at ROW]
//                    [--cached [--changes]]
//   --disconnect-at: Disconnect from the menu once ROW is listed; times how
//   long the Disconnect takes and checks that the rows so far stay.
//   --cached: each round a first check without the account's cache and a
//   second one with it, each with the TOPs Dovecot counted in its session and
//   the peak memory at the end; --changes removes 3 messages through another
//   client and adds 10 between the two checks, so the second check must send
//   exactly 10 TOPs.
#include "Account.h"
#include "DovecotServer.h"
#include "LED.h"
#include "ListingCache.h"
#include "ModelGrid.h"
#include "Pop3Client.h"
#include "ProgramWindows.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

const char* const kPoplib = R"(
import poplib, sys, time
host, port, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
start = time.perf_counter()
box = poplib.POP3(host, port, timeout=60)
box.user(user)
box.pass_(password)
count = box.stat()[0]
box.list()
total = 0
for n in range(1, count + 1):
    box.top(n, 0)
    total += int(box.list(n).split()[2])
box.quit()
print(f"{(time.perf_counter() - start) * 1000:.1f} {count} {total}")
)";

// Sends every command of the listing at once from a thread and only reads.
const char* const kPipelined = R"(
import socket, sys, threading, time
host, port, user, password, count = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], int(sys.argv[5])
start = time.perf_counter()
s = socket.create_connection((host, port), timeout=60)
f = s.makefile('rb')
def line():
    l = f.readline()
    if not l: raise SystemExit('closed')
    return l
def multi():
    while line() != b'.\r\n': pass
line()
for c in (b'USER ' + user.encode(), b'PASS ' + password.encode(), b'STAT'):
    s.sendall(c + b'\r\n'); line()
cmds = b'LIST\r\n' + b''.join(b'TOP %d 0\r\nLIST %d\r\n' % (n, n) for n in range(1, count + 1)) + b'QUIT\r\n'
threading.Thread(target=s.sendall, args=(cmds,), daemon=True).start()
line(); multi()
total = 0
for n in range(1, count + 1):
    line(); multi()
    total += int(line().split()[2])
line()
print(f"{(time.perf_counter() - start) * 1000:.1f} {count} {total}")
)";

// Holds every chunk for the given milliseconds in each direction, keeping order.
const char* const kRelay = R"(
import asyncio, sys, time
target_port, delay = int(sys.argv[1]), float(sys.argv[2]) / 1000.0
async def pump(reader, writer):
    q = asyncio.Queue()
    async def send():
        while True:
            due, data = await q.get()
            if data is None: break
            wait = due - time.monotonic()
            if wait > 0: await asyncio.sleep(wait)
            writer.write(data)
            await writer.drain()
        writer.close()
    task = asyncio.create_task(send())
    while True:
        data = await reader.read(65536)
        q.put_nowait((time.monotonic() + delay, data or None))
        if not data: break
    await task
async def handle(cr, cw):
    sr, sw = await asyncio.open_connection('127.0.0.1', target_port)
    await asyncio.gather(pump(cr, sw), pump(sr, cw), return_exceptions=True)
async def main():
    server = await asyncio.start_server(handle, '127.0.0.1', 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()
asyncio.run(main())
)";

struct Stats
{
    QList<double> ms;
    double min() const { return *std::min_element(ms.begin(), ms.end()); }
    double median() const
    {
        QList<double> s = ms;
        std::sort(s.begin(), s.end());
        return s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
    }
};

double runPython(const char* code, const QStringList& args, QByteArray* fields)
{
    QProcess python;
    python.start(u"python3"_s, QStringList{u"-c"_s, QString::fromUtf8(code)} + args);
    if (!python.waitForFinished(300000) || python.exitCode() != 0) {
        std::fprintf(stderr, "reference failed: %s\n", python.readAllStandardError().constData());
        std::exit(1);
    }
    *fields = python.readAllStandardOutput().trimmed();
    return fields->split(' ').value(0).toDouble();
}

// Clicks Prüfen and returns once the check has ended and its list is complete:
// the check runs on the server's answers in this loop, not inside the click.
void checkAndWait(TStammForm& form)
{
    QEventLoop loop;
    const auto done = QObject::connect(&form.Check(), &CheckEngine::finished, &loop, &QEventLoop::quit);
    QTest::mouseClick(form.SBCheck, Qt::LeftButton);
    if (form.Check().running())
        loop.exec();
    QObject::disconnect(done);
}

QByteArray benchMessage(int i, QRandomGenerator& random)
{
    const QByteArray n = QByteArray::number(i);
    const QByteArray head = "From: Sender " + n + " <sender" + n +
                            "@example.org>\nTo: test@example.org\nSubject: Nachricht " + n + "\nMessage-ID: <" + n +
                            "@example.org>\nDate: Mon, 1 Jan 2024 10:00:00 +0000\n\n";
    // 0.5 to 4 KB in all.
    const int size = 512 + int(random.bounded(4096 - 512));
    return head + QByteArray(qMax(1, size - int(head.size())), 'x') + "\n";
}

// The TOPs of the last session Dovecot logged out, from its own counters.
int lastSessionTops(const DovecotServer& server)
{
    QTest::qWait(300);
    const QString log = server.log();
    const qsizetype at = log.lastIndexOf(u"top="_s);
    return at < 0 ? -1 : log.mid(at + 4).section(u'/', 0, 0).toInt();
}

const char* const kRemoveFirst = R"(
import poplib, sys
box = poplib.POP3(sys.argv[1], int(sys.argv[2]))
box.user(sys.argv[3]); box.pass_(sys.argv[4])
for n in range(1, int(sys.argv[5]) + 1): box.dele(n)
box.quit()
print(0)
)";

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int delayMs = 0;
    int rounds = 5;
    int messages = 2000;
    int disconnectAt = 0;
    bool cached = false;
    bool changes = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a = argv[i];
        if (a == "--delay" && i + 1 < argc)
            delayMs = QByteArray(argv[++i]).toInt();
        else if (a == "--rounds" && i + 1 < argc)
            rounds = QByteArray(argv[++i]).toInt();
        else if (a == "--messages" && i + 1 < argc)
            messages = QByteArray(argv[++i]).toInt();
        else if (a == "--disconnect-at" && i + 1 < argc)
            disconnectAt = QByteArray(argv[++i]).toInt();
        else if (a == "--cached")
            cached = true;
        else if (a == "--changes")
            changes = true;
    }
    if (!DovecotServer::isAvailable()) {
        std::fprintf(stderr, "dovecot is not installed\n");
        return 1;
    }
    DovecotServer server;
    QRandomGenerator random(12);
    for (int i = 1; i <= messages; ++i)
        server.addMessage(benchMessage(i, random));
    if (!server.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }

    quint16 port = server.port();
    QProcess relay;
    if (delayMs > 0) {
        relay.start(u"python3"_s, {u"-c"_s, QString::fromUtf8(kRelay), QString::number(server.port()),
                                   QString::number(delayMs / 2.0)});
        if (!relay.waitForReadyRead(10000)) {
            std::fprintf(stderr, "relay did not start\n");
            return 1;
        }
        port = quint16(relay.readLine().trimmed().toUInt());
    }
    const QStringList refArgs = {QString::fromLatin1(server.host()), QString::number(port),
                                 QString::fromLatin1(server.user()), QString::fromLatin1(server.password()),
                                 QString::number(messages)};
    const char* const reference = delayMs > 0 ? kPipelined : kPoplib;
    QByteArray fields;
    // Unmeasured, straight to the server: Dovecot builds its index.
    QStringList warmArgs = refArgs;
    warmArgs[1] = QString::number(server.port());
    runPython(kPoplib, warmArgs, &fields);

    TestEnvironment env;
    ScriptedDialogs dialogs;
    SettingsStore().writeString(u"Programm"_s, u"First"_s, u"0"_s);
    SettingsStore().writeString(u"Programm"_s, u"Startschirm"_s, u"0"_s);
    ProgramWindows windows;
    TStammForm& form = windows.StammForm;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    windows.state.Konto[1] = u"Bench"_s;
    windows.state.Host[1] = QString::fromLatin1(server.host());
    windows.state.Port[1] = port;
    windows.state.UserID[1] = QString::fromLatin1(server.user());
    windows.state.Passwort[1] = QString::fromLatin1(server.password());
    form.Anzeige_Setzen();
    form.Konten->setEditText(u"Bench"_s);

    if (disconnectAt > 0) {
        Stats stop;
        for (int r = 0; r < rounds; ++r) {
            form.Disconnect1Click();
            const auto atRow = QObject::connect(&form.Check(), &CheckEngine::rowScreened, &form, [&](int number) {
                if (number != disconnectAt)
                    return;
                QElapsedTimer clock;
                clock.start();
                form.Disconnect1->trigger();
                stop.ms.append(double(clock.nsecsElapsed()) / 1e6);
            });
            checkAndWait(form);
            QObject::disconnect(atRow);
            const int rows = form.Tabelle->RowCount() - 1;
            std::printf("round %d: Disconnect at row %d took %.1f ms, %d rows kept, still connected: %s\n", r + 1,
                        disconnectAt, stop.ms.value(r), rows, form.Pop3Client1->Connected() ? "yes" : "no");
        }
        std::printf("Disconnect: min %.1f ms, median %.1f ms\n", stop.min(), stop.median());
        relay.kill();
        relay.waitForFinished();
        return 0;
    }

    if (cached) {
        const QString cacheFile = ListingCache::fileFor(Account::fromSlot(windows.state, 1));
        Stats first, second, ref;
        int added = messages;
        for (int r = 0; r < rounds; ++r) {
            form.Disconnect1Click();
            QFile::remove(cacheFile);
            QElapsedTimer clock;
            clock.start();
            checkAndWait(form);
            first.ms.append(double(clock.nsecsElapsed()) / 1e6);
            const int rowsFirst = form.Tabelle->RowCount() - 1;
            form.Disconnect1Click();
            const int topsFirst = lastSessionTops(server);
            // Sequential TOPs through the relay take minutes: poplib is timed on loopback only.
            ref.ms.append(delayMs > 0 ? 0.0 : runPython(kPoplib, refArgs, &fields));
            if (changes) {
                runPython(kRemoveFirst, refArgs.mid(0, 4) + QStringList{u"3"_s}, &fields);
                for (int i = 0; i < 10; ++i)
                    server.addMessage(benchMessage(++added, random));
            }
            clock.start();
            checkAndWait(form);
            second.ms.append(double(clock.nsecsElapsed()) / 1e6);
            const int rowsSecond = form.Tabelle->RowCount() - 1;
            const QString last = form.Tabelle->Cells(5, rowsSecond).trimmed();
            form.Disconnect1Click();
            const int topsSecond = lastSessionTops(server);
            std::printf("round %d: first %.1f ms (%d rows, %d TOPs), poplib %.1f ms, second %.1f ms (%d rows, %d "
                        "TOPs, last '%s')\n",
                        r + 1, first.ms.last(), rowsFirst, topsFirst, ref.ms.last(), second.ms.last(), rowsSecond,
                        topsSecond, qPrintable(last));
            std::fflush(stdout);
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%d messages, %s\nfirst check: median %.1f ms; poplib median %.1f ms; ratio %.2f\n"
                    "second check: min %.1f ms, median %.1f ms\npeak RSS %.1f MB\n",
                    messages, delayMs > 0 ? qPrintable(QString::number(delayMs) + u" ms round trip"_s) : "loopback",
                    first.median(), ref.median(), first.median() / ref.median(), second.min(), second.median(),
                    double(usage.ru_maxrss) / 1024.0);
        relay.kill();
        relay.waitForFinished();
        return 0;
    }

    Stats ours, ref;
    for (int r = 0; r < rounds; ++r) {
        form.Disconnect1Click();
        QElapsedTimer clock;
        clock.start();
        checkAndWait(form);
        ours.ms.append(double(clock.nsecsElapsed()) / 1e6);
        const int rows = form.Tabelle->RowCount() - 1;
        if (rows != messages ||
            form.Tabelle->Cells(5, messages).trimmed() != u"Nachricht "_s + QString::number(messages) ||
            !dialogs.texts().isEmpty()) {
            std::fprintf(stderr, "incomplete list: %d rows, last subject '%s', dialogs '%s'\n", rows,
                         qPrintable(form.Tabelle->Cells(5, messages)), qPrintable(dialogs.texts().join(u" | "_s)));
            return 1;
        }
        ref.ms.append(runPython(reference, refArgs, &fields));
        std::printf("round %d: Postrella %.1f ms, reference %.1f ms (%s)\n", r + 1, ours.ms.last(), ref.ms.last(),
                    fields.constData());
        std::fflush(stdout);
    }
    form.Disconnect1Click();
    std::printf("%d messages, %s, reference %s, pipelining %s\n", messages,
                delayMs > 0 ? qPrintable(QString::number(delayMs) + u" ms round trip"_s) : "loopback",
                delayMs > 0 ? "send-all client" : "poplib",
                form.Pop3Client1->HasCapability("PIPELINING") ? "offered" : "not offered");
    std::printf("Postrella: min %.1f ms, median %.1f ms\nreference: min %.1f ms, median %.1f ms\n", ours.min(),
                ours.median(), ref.min(), ref.median());
    std::printf("ratio Postrella / reference: min %.2f, median %.2f\n", ours.min() / ref.min(),
                ours.median() / ref.median());
    relay.kill();
    relay.waitForFinished();
    return 0;
}
