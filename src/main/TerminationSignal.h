#pragma once

#include <QObject>

class QSocketNotifier;

// The session's request that the program end (SIGTERM at log-out or shut-down),
// delivered in the event loop as the signal received. The handler itself only
// writes a byte into a pipe, the one thing a signal handler may safely do; a
// notifier on the other end wakes the event loop. One is installed at a time,
// and the earlier disposition returns when it goes. This is the POSIX version;
// a Windows build supplies its own implementation file.
class TerminationSignal : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignal(QObject* parent = nullptr);
    ~TerminationSignal() override;
    TerminationSignal(const TerminationSignal&) = delete;
    TerminationSignal& operator=(const TerminationSignal&) = delete;

    // False when the handler could not be installed (or another one is).
    bool isInstalled() const { return m_notifier != nullptr; }

signals:
    void received();

private:
    int m_readFd = -1;
    int m_writeFd = -1;
    QSocketNotifier* m_notifier = nullptr;
};
