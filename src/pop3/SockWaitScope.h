#pragma once

// The pieces of the socket client that its TLS half shares with the rest.
#include "SockClient.h"

#include <QTimer>

namespace SockDetail {

// Runs a callback from a socket or timer notification. Nothing may escape
// into Qt's event loop; the socket layer drops such failures by design.
template <typename F> void guarded(F&& f)
{
    try {
        f();
    } catch (...) {
    }
}

} // namespace SockDetail

class TSockClient::WaitScope
{
public:
    explicit WaitScope(TSockClient& client) : m_client(client)
    {
        m_client.ReportStatus(8, QStringLiteral("Zeitgeber An"));
        m_client.m_timedOut = false;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &m_client,
                         [this] { SockDetail::guarded([this] { m_client.expire(this); }); });
        if (m_client.TimeOut > 0)
            timer.start(m_client.TimeOut);
        m_client.m_waits.append(this);
    }
    ~WaitScope()
    {
        timer.stop();
        m_client.m_waits.removeOne(this);
        m_client.ReportStatus(8, QStringLiteral("Zeitgeber Aus"));
    }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

    // A cancel that came before the wait began still ends it.
    bool ended() const { return timedOut || canceled || m_client.m_canceled; }

    QTimer timer;
    bool timedOut = false;
    bool canceled = false;

private:
    TSockClient& m_client;
};
