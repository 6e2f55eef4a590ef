// Time and peak memory to retrieve a message with a 20 MB attachment from
// Dovecot and decode the attachment into the scratch folder. The retrieval runs
// in a child process of its own, so the message this program builds for the
// mailbox does not count towards the peak.
#include "DovecotServer.h"
#include "Pop3Client.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kAttachment = 20 * 1024 * 1024;

// Peak resident memory of this process in KiB.
qint64 peakKiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong();
    }
    return -1;
}

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (file.open(QIODevice::ReadOnly))
        hash.addData(&file);
    return hash.result().toHex();
}

int retrieve(const QStringList& args)
{
    // args: host port user password folder hash
    const qint64 before = peakKiB();
    TPop3Client client;
    client.Host = args[0];
    client.Port = args[1].toInt();
    client.UserID = args[2];
    client.Password = args[3];
    client.TimeOut = 20000;
    client.setAttachFilePath(args[4]);
    client.Connect();
    QElapsedTimer timer;
    timer.start();
    client.RetrieveMessage(1);
    const qint64 ms = timer.elapsed();
    client.Disconnect();
    const qint64 after = peakKiB();
    const QStringList& names = client.MailMessage().Attachments;
    const bool exact =
        names.size() == 1 && QString::fromLatin1(fileHash(client.AttachFilePath() + names[0])) == args[5];
    std::printf("retrieve and decode: %lld ms, %d part lines, attachment %s\n", static_cast<long long>(ms),
                client.BytesRecvd(), exact ? "byte-exact" : "WRONG");
    std::printf("peak memory (VmHWM): %lld KiB before, %lld KiB after retrieval\n", static_cast<long long>(before),
                static_cast<long long>(after));
    return exact ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 7 && args[0] == u"--retrieve"_s)
        return retrieve(args.mid(1));

    if (!DovecotServer::isAvailable()) {
        std::fprintf(stderr, "dovecot is not installed\n");
        return 1;
    }
    QByteArray hash;
    DovecotServer server;
    {
        QByteArray data(kAttachment, Qt::Uninitialized);
        QRandomGenerator generator(4711);
        generator.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
        hash = QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
        const QByteArray encoded = data.toBase64();
        QByteArray message = "From: Ann <ann@example.org>\r\nTo: test@example.org\r\nSubject: Large\r\n"
                             "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"big\"\r\n\r\n"
                             "--big\r\nContent-Type: text/plain\r\n\r\nA large file follows.\r\n--big\r\n"
                             "Content-Type: application/octet-stream; name=\"large.bin\"\r\n"
                             "Content-Transfer-Encoding: base64\r\n\r\n";
        message.reserve(message.size() + encoded.size() / 76 * 78 + 100);
        for (qsizetype i = 0; i < encoded.size(); i += 76)
            message += encoded.mid(i, 76) + "\r\n";
        message += "--big--\r\n";
        server.addMessage(message);
        std::printf("message: %lld bytes, attachment %lld bytes\n", static_cast<long long>(message.size()),
                    static_cast<long long>(data.size()));
    }
    if (!server.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }
    QTemporaryDir scratch;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(app.applicationFilePath(),
                {u"--retrieve"_s, QString::fromLatin1(server.host()), QString::number(server.port()),
                 QString::fromLatin1(server.user()), QString::fromLatin1(server.password()), scratch.path(),
                 QString::fromLatin1(hash)});
    child.waitForFinished(300000);
    return child.exitCode();
}
