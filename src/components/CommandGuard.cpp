#include "CommandGuard.h"

#include "Dialogs.h"
#include "Exception.h"

#include <QString>

namespace CommandGuard {

void run(const std::function<void()>& command)
{
    try {
        command();
    } catch (const Exception& e) {
        Dialogs::message(Dialogs::Kind::Error, e.message());
    } catch (const std::exception& e) {
        Dialogs::message(Dialogs::Kind::Error, QString::fromLocal8Bit(e.what()));
    }
}

} // namespace CommandGuard
