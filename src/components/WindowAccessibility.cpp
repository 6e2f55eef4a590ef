#include "WindowAccessibility.h"

#include <QAccessibleWidget>
#include <QByteArrayView>
#include <QFrame>

namespace {

// Dialogs, main windows, menus and the like have interfaces of their own;
// only a window whose nearest Qt class is a plain widget or frame needs one.
bool isPlainWindow(const QString& className, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    // Asked once per class of the object: answer only for the most derived one.
    if (!widget || !widget->isWindow() || className != QLatin1StringView(object->metaObject()->className()))
        return false;
    const Qt::WindowType type = widget->windowType();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop)
        return false;
    const QMetaObject* meta = object->metaObject();
    while (meta && !QByteArrayView(meta->className()).startsWith('Q'))
        meta = meta->superClass();
    return meta == &QWidget::staticMetaObject || meta == &QFrame::staticMetaObject;
}

QAccessibleInterface* windowInterface(const QString& className, QObject* object)
{
    if (!isPlainWindow(className, object))
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    return new QAccessibleWidget(widget,
                                 widget->windowType() == Qt::Dialog ? QAccessible::Dialog : QAccessible::Window);
}

} // namespace

namespace WindowAccessibility {

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(windowInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace WindowAccessibility
