#include "DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace {

const QString kService = u"org.freedesktop.Notifications"_s;
const QString kPath = u"/org/freedesktop/Notifications"_s;
const QString kInterface = u"org.freedesktop.Notifications"_s;

QDBusMessage method(const QString& name)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, name);
}

} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {}

QString DesktopNotifier::body(const QString& text, bool markup)
{
    return markup ? text.toHtmlEscaped() : text;
}

void DesktopNotifier::notify(const QString& title, const QString& text, Kind kind)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const auto fallBack = [this, title, text, kind] {
        if (Fallback)
            Fallback(title, text, kind);
    };
    if (!bus.isConnected()) {
        fallBack();
        return;
    }
    // Asked every time and never waited for: the service may come and go
    // with the desktop, and a hung one must not hold the window. Whether it
    // renders markup in the body decides whether the text is escaped.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(method(u"GetCapabilities"_s)), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [=, this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QStringList> capabilities = *call;
        if (capabilities.isError()) {
            fallBack();
            return;
        }
        QVariantMap hints;
        hints.insert(u"desktop-entry"_s, u"postrella"_s);
        QDBusMessage message = method(u"Notify"_s);
        const QString icon = kind == Kind::Warning ? u"dialog-warning"_s : u"postrella"_s;
        message << u"Postrella"_s << uint(0) << icon << title
                << body(text, capabilities.value().contains(u"body-markup"_s)) << QStringList() << hints << int(-1);
        QDBusConnection::sessionBus().asyncCall(message);
    });
}
