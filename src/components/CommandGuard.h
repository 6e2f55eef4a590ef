#pragma once

#include <QObject>
#include <functional>

// No exception may travel into Qt's event loop: every command handler runs
// inside this guard, which shows the message of a failure in an error box.
namespace CommandGuard {

void run(const std::function<void()>& command);

// Connects a signal to a command (a handler without arguments) that runs
// inside the guard.
template <typename Sender, typename Signal>
QMetaObject::Connection connect(Sender* sender, Signal signal, QObject* context, std::function<void()> command)
{
    return QObject::connect(sender, signal, context, [command = std::move(command)] { run(command); });
}

} // namespace CommandGuard
