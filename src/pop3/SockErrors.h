#pragma once

#include "Exception.h"

#include <QAbstractSocket>
#include <QString>

// Failures of the socket layer. EAbortError marks a wait that was cancelled,
// by the user or by the time-out.
class ESockError : public Exception
{
public:
    using Exception::Exception;
};

class EAbortError : public ESockError
{
public:
    using ESockError::ESockError;
};

// WinSock error numbers the client reports; the log lines quote them, so the
// numbers stay those of the original platform on every system.
namespace WinSock {
constexpr int WouldBlock = 10035;
constexpr int NotConnected = 10057;
constexpr int TimedOut = 10060;
constexpr int ConnectionRefused = 10061;
constexpr int ConnectionReset = 10054;
constexpr int NetworkUnreachable = 10051;
constexpr int HostNotFound = 11001;

// The number that matches a Qt socket error.
int fromSocketError(QAbstractSocket::SocketError error);
} // namespace WinSock

// "<number>:<text>" for a known number, "Unbekannte Fehlernummer <number>" otherwise.
QString ErrorText(int ErrorNumber);
