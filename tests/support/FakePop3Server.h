#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslKey>
#include <QStringList>
#include <QTest>

class QSslSocket;
class QTcpServer;

// One step of a scripted POP3 conversation.
struct FakeStep
{
    enum Kind
    {
        Client,  // the client must send exactly this line (CR LF added)
        Server,  // the server answers this line (CR LF added)
        Packet,  // the server sends these bytes as they are, in a packet of their own
        Close,   // the server closes the connection
        Silence, // the server says nothing: for ever (ms < 0) or for ms milliseconds
        Tls,     // the server starts TLS with the identity set by setTlsIdentity
    };
    Kind kind;
    QByteArray data;
    int ms = -1;
};
using FakeScript = QList<FakeStep>;

// Small builders; scripts read like transcripts:
// greeting() + login("u", "p") + stat(3) + top(1, {"Subject: Hi"}) + quit()
namespace Pop3Script {
FakeScript client(const QByteArray& line);
FakeScript server(const QByteArray& line);
FakeScript packet(const QByteArray& bytes);
FakeScript close();
FakeScript silence(int ms = -1);
FakeScript startTls();
// "C: line", "S: line", "close", "silence" and "silence <ms>", one per line.
FakeScript transcript(const QByteArray& text);

// A positive greeting is followed by the client's CAPA, answered with these
// capabilities; with none the fake refuses CAPA as a server from before RFC 2449.
FakeScript greeting(const QByteArray& line = "+OK POP3 server ready", const QList<QByteArray>& capabilities = {});
FakeScript capa(const QList<QByteArray>& capabilities);
FakeScript login(const QByteArray& user, const QByteArray& password);
FakeScript stat(int count, int size = 0);
// TOP n 0 answered with the header lines, the empty line and the dot line.
FakeScript top(int n, const QList<QByteArray>& headers);
// LIST n answered with the size, as a single summary asks for it.
FakeScript list(int n, int size);
// The whole LIST answered with these sizes of messages 1, 2, ...
FakeScript listAll(const QList<int>& sizes);
// The answers alone, for pipelined scripts where the commands come first.
FakeScript topReply(const QList<QByteArray>& headers);
FakeScript listReply(int n, int size);
// The client's TOP n 0 for messages first to last, sent before any answer; the
// sizes come from the one LIST ahead of them.
FakeScript summaryCommands(int first, int last);
FakeScript dele(int n, const QByteArray& reply = "+OK message deleted");
FakeScript rset();
FakeScript quit();
} // namespace Pop3Script

// A POP3 server on 127.0.0.1 (port 0) that plays a script on the test's own
// thread: it moves on only while the client waits in its event loops. Input is
// buffered by line. A line that differs from the script is recorded as a
// problem and answered with "-ERR" and a close, so the client fails at once
// instead of waiting; a script left unfinished is a problem too.
class FakePop3Server : public QObject
{
    Q_OBJECT

public:
    explicit FakePop3Server(FakeScript script = {});
    ~FakePop3Server() override;

    void setScript(FakeScript script);
    // A server without PIPELINING: a line sent before the previous command was
    // answered in full is a problem.
    void setOneAtATime(bool on) { m_oneAtATime = on; }
    // A server that drops a command arriving together with PASS (as Courier
    // does): a line sent before PASS was answered is a problem.
    void setNothingAfterPass(bool on) { m_nothingAfterPass = on; }
    // The certificate and key the Tls step presents.
    void setTlsIdentity(const QSslCertificate& certificate, const QSslKey& key);
    quint16 port() const;
    QByteArray host() const { return "127.0.0.1"; }

    bool finished() const { return m_next >= m_script.size(); }
    const QStringList& problems() const { return m_problems; }
    // Problems and the step the script stands at, for a failure message.
    QString report() const;
    int connectionCount() const { return m_connections; }
    // Every line the client sent, line ends included.
    const QList<QByteArray>& received() const { return m_received; }

private:
    void acceptConnection();
    void readClient();
    void advance();
    void resumeLater(int ms);
    void problem(const QString& text);

    QTcpServer* m_server;
    QSslSocket* m_socket = nullptr;
    QSslCertificate m_certificate;
    QSslKey m_key;
    FakeScript m_script;
    qsizetype m_next = 0;
    QByteArray m_input;
    QList<QByteArray> m_lines;
    QList<QByteArray> m_received;
    QStringList m_problems;
    int m_connections = 0;
    bool m_pausing = false;
    bool m_silent = false;
    bool m_oneAtATime = false;
    bool m_nothingAfterPass = false;
};

// Fails the test when the client strayed from the script or left it unfinished.
#define FAKE_POP3_VERIFY(fake)                                                                                         \
    do {                                                                                                               \
        QTRY_VERIFY2_WITH_TIMEOUT((fake).finished() || !(fake).problems().isEmpty(), qPrintable((fake).report()),      \
                                  3000);                                                                               \
        QVERIFY2((fake).problems().isEmpty(), qPrintable((fake).report()));                                            \
    } while (false)
