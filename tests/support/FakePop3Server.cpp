#include "FakePop3Server.h"

#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Long enough for the client to take a packet on its own before the next one.
constexpr int kPacketGapMs = 20;

QString show(const QByteArray& bytes)
{
    QByteArray shown = bytes;
    shown.replace("\r", "\\r").replace("\n", "\\n");
    if (shown.size() > 200)
        shown = shown.left(200) + "...";
    return QString::fromLatin1(shown);
}

// Hands out QSslSockets, which stay plain until a Tls step.
class SslServer : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QSslSocket(this);
        if (socket->setSocketDescriptor(descriptor))
            addPendingConnection(socket);
        else
            delete socket;
    }
};

} // namespace

namespace Pop3Script {

FakeScript client(const QByteArray& line)
{
    return {{FakeStep::Client, line}};
}

FakeScript server(const QByteArray& line)
{
    return {{FakeStep::Server, line}};
}

FakeScript packet(const QByteArray& bytes)
{
    return {{FakeStep::Packet, bytes}};
}

FakeScript close()
{
    return {{FakeStep::Close, {}}};
}

FakeScript silence(int ms)
{
    return {{FakeStep::Silence, {}, ms}};
}

FakeScript startTls()
{
    return {{FakeStep::Tls, {}}};
}

FakeScript transcript(const QByteArray& text)
{
    FakeScript script;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        if (line.startsWith("C: ") || line == "C:")
            script += client(line.mid(3));
        else if (line.startsWith("S: ") || line == "S:")
            script += server(line.mid(3));
        else if (line.trimmed() == "close")
            script += close();
        else if (line.trimmed().startsWith("silence"))
            script += silence(line.trimmed() == "silence" ? -1 : line.trimmed().mid(8).toInt());
    }
    return script;
}

FakeScript greeting(const QByteArray& line, const QList<QByteArray>& capabilities)
{
    if (!line.startsWith("+OK"))
        return server(line);
    return server(line) + capa(capabilities);
}

FakeScript capa(const QList<QByteArray>& capabilities)
{
    if (capabilities.isEmpty())
        return client("CAPA") + server("-ERR unknown command");
    FakeScript script = client("CAPA") + server("+OK capability list follows");
    for (const QByteArray& c : capabilities)
        script += server(c);
    return script + server(".");
}

FakeScript login(const QByteArray& user, const QByteArray& password)
{
    return client("USER " + user) + server("+OK") + client("PASS " + password) + server("+OK logged in");
}

FakeScript stat(int count, int size)
{
    return client("STAT") + server("+OK " + QByteArray::number(count) + ' ' + QByteArray::number(size));
}

FakeScript top(int n, const QList<QByteArray>& headers)
{
    return client("TOP " + QByteArray::number(n) + " 0") + topReply(headers);
}

FakeScript list(int n, int size)
{
    return client("LIST " + QByteArray::number(n)) + listReply(n, size);
}

FakeScript listAll(const QList<int>& sizes)
{
    FakeScript script = client("LIST") + server("+OK");
    for (qsizetype i = 0; i < sizes.size(); ++i)
        script += server(QByteArray::number(i + 1) + ' ' + QByteArray::number(sizes.at(i)));
    return script + server(".");
}

FakeScript topReply(const QList<QByteArray>& headers)
{
    FakeScript script = server("+OK");
    for (const QByteArray& h : headers)
        script += server(h);
    return script + server("") + server(".");
}

FakeScript listReply(int n, int size)
{
    return server("+OK " + QByteArray::number(n) + ' ' + QByteArray::number(size));
}

FakeScript summaryCommands(int first, int last)
{
    FakeScript script;
    for (int n = first; n <= last; ++n)
        script += client("TOP " + QByteArray::number(n) + " 0");
    return script;
}

FakeScript dele(int n, const QByteArray& reply)
{
    return client("DELE " + QByteArray::number(n)) + server(reply);
}

FakeScript rset()
{
    return client("RSET") + server("+OK");
}

FakeScript quit()
{
    return client("QUIT") + server("+OK bye");
}

} // namespace Pop3Script

FakePop3Server::FakePop3Server(FakeScript script) : m_server(new SslServer(this)), m_script(std::move(script))
{
    connect(m_server, &QTcpServer::newConnection, this, &FakePop3Server::acceptConnection);
    if (!m_server->listen(QHostAddress::LocalHost, 0))
        problem(u"cannot listen: "_s + m_server->errorString());
}

FakePop3Server::~FakePop3Server() = default;

void FakePop3Server::setScript(FakeScript script)
{
    m_script = std::move(script);
    m_next = 0;
    m_silent = false;
}

void FakePop3Server::setTlsIdentity(const QSslCertificate& certificate, const QSslKey& key)
{
    m_certificate = certificate;
    m_key = key;
}

quint16 FakePop3Server::port() const
{
    return m_server->serverPort();
}

QString FakePop3Server::report() const
{
    QString text = m_problems.join(u"; "_s);
    if (!finished()) {
        const FakeStep& step = m_script.at(m_next);
        static const char* const kinds[] = {"C:", "S:", "packet", "close", "silence", "tls"};
        text += (text.isEmpty() ? u""_s : u"; "_s) + u"script unfinished at step "_s + QString::number(m_next + 1) +
                u" of "_s + QString::number(m_script.size()) + u": "_s + QLatin1StringView(kinds[step.kind]) + u' ' +
                show(step.data);
    }
    return text;
}

void FakePop3Server::problem(const QString& text)
{
    m_problems.append(text);
}

void FakePop3Server::acceptConnection()
{
    while (auto* socket = static_cast<QSslSocket*>(m_server->nextPendingConnection())) {
        ++m_connections;
        if (m_socket)
            m_socket->deleteLater();
        m_socket = socket;
        m_pausing = false;
        m_input.clear();
        m_lines.clear();
        connect(socket, &QSslSocket::readyRead, this, &FakePop3Server::readClient);
        advance();
    }
}

void FakePop3Server::readClient()
{
    auto* socket = qobject_cast<QSslSocket*>(sender());
    if (socket != m_socket)
        return;
    m_input += socket->readAll();
    for (qsizetype lf = m_input.indexOf('\n'); lf >= 0; lf = m_input.indexOf('\n')) {
        const QByteArray line = m_input.left(lf + 1);
        m_input.remove(0, lf + 1);
        m_received.append(line);
        const bool answered = !finished() && !m_pausing && m_script.at(m_next).kind == FakeStep::Client;
        if (m_oneAtATime && (!m_lines.isEmpty() || !answered))
            problem(u"C: "_s + show(line) + u" sent before the previous command was answered"_s);
        const bool afterPass = std::any_of(m_lines.cbegin(), m_lines.cend(),
                                           [](const QByteArray& waiting) { return waiting.startsWith("PASS "); });
        if (m_nothingAfterPass && afterPass)
            problem(u"C: "_s + show(line) + u" sent before PASS was answered"_s);
        m_lines.append(line);
    }
    advance();
}

void FakePop3Server::resumeLater(int ms)
{
    m_pausing = true;
    QTimer::singleShot(ms, this, [this] {
        m_pausing = false;
        advance();
    });
}

void FakePop3Server::advance()
{
    if (m_pausing || !m_socket)
        return;
    while (!finished() && !m_silent) {
        const FakeStep& step = m_script.at(m_next);
        switch (step.kind) {
        case FakeStep::Server:
            m_socket->write(step.data + "\r\n");
            m_socket->flush();
            ++m_next;
            break;
        case FakeStep::Packet:
            m_socket->write(step.data);
            m_socket->flush();
            ++m_next;
            resumeLater(kPacketGapMs);
            return;
        case FakeStep::Close:
            // Later steps belong to the next connection.
            m_socket->disconnectFromHost();
            m_socket->deleteLater();
            m_socket = nullptr;
            ++m_next;
            return;
        case FakeStep::Silence:
            ++m_next;
            if (step.ms < 0) {
                m_silent = true;
                break;
            }
            resumeLater(step.ms);
            return;
        case FakeStep::Tls: {
            ++m_next;
            // The script goes on once the handshake is done; a client that
            // gives it up leaves the script where it is.
            m_pausing = true;
            QSslSocket* socket = m_socket;
            connect(socket, &QSslSocket::encrypted, this, [this, socket] {
                if (socket != m_socket)
                    return;
                m_pausing = false;
                advance();
            });
            socket->setLocalCertificate(m_certificate);
            socket->setPrivateKey(m_key);
            socket->startServerEncryption();
            return;
        }
        case FakeStep::Client: {
            if (m_lines.isEmpty())
                return;
            const QByteArray line = m_lines.takeFirst();
            if (line != step.data + "\r\n") {
                problem(u"step "_s + QString::number(m_next + 1) + u": expected C: "_s + show(step.data + "\r\n") +
                        u", got "_s + show(line));
                m_socket->write("-ERR unexpected\r\n");
                m_socket->disconnectFromHost();
                m_script.clear();
                m_next = 0;
                return;
            }
            ++m_next;
            break;
        }
        }
    }
    // Whatever comes after the end of the script (or during a silence) is unexpected.
    for (const QByteArray& line : std::as_const(m_lines))
        problem(u"unexpected C: "_s + show(line) + (m_silent ? u" during silence"_s : u" after the script"_s));
    m_lines.clear();
}
