#pragma once

#include <QObject>

#include <functional>
#include <utility>

// No exception may travel into Qt's event loop: every command handler runs
// inside this guard, which shows the message of a failure in an error box.
namespace CommandGuard {

void run(const std::function<void()>& command);

// Connects a signal to a handler that runs inside the guard.
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection connect(Sender* sender, Signal signal, QObject* context, Handler handler)
{
    return QObject::connect(sender, signal, context, [handler = std::move(handler)](auto&&... args) {
        run([&] { handler(std::forward<decltype(args)>(args)...); });
    });
}

} // namespace CommandGuard
