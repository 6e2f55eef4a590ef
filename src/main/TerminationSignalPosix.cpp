#include "TerminationSignal.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<int> g_writeFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");
struct sigaction g_previous = {};

extern "C" void onTermination(int)
{
    const int saved = errno;
    const int fd = g_writeFd.load();
    const char byte = 1;
    // A full pipe already holds a wake-up; the byte may go.
    if (fd >= 0 && ::write(fd, &byte, 1) < 0) {
    }
    errno = saved;
}

} // namespace

TerminationSignal::TerminationSignal(QObject* parent) : QObject(parent)
{
    if (g_writeFd.load() >= 0)
        return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_readFd = fds[0];
    m_writeFd = fds[1];
    g_writeFd.store(m_writeFd);
    struct sigaction action = {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    // A wait in the middle of a system call goes on instead of failing with EINTR.
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, &g_previous) != 0) {
        g_writeFd.store(-1);
        return;
    }
    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        // Several signals before the loop woke are one request.
        char bytes[64];
        while (::read(m_readFd, bytes, sizeof bytes) > 0) {
        }
        emit received();
    });
}

TerminationSignal::~TerminationSignal()
{
    if (m_notifier) {
        ::sigaction(SIGTERM, &g_previous, nullptr);
        g_writeFd.store(-1);
    }
    if (m_readFd >= 0)
        ::close(m_readFd);
    if (m_writeFd >= 0)
        ::close(m_writeFd);
}
