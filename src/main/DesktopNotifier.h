#pragma once

#include <QObject>
#include <QString>
#include <functional>

// Tells the user about a scheduled check through the desktop's notification
// service, which a desktop may offer without any tray (GNOME does). Where no
// service answers, Fallback (the tray's message balloon) stands in. Title and
// text are plain text: whatever a server or a message put into them is shown
// as it is, never as markup. This is the freedesktop version (the
// Notifications service on the session bus); a Windows build supplies its own
// implementation file.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    enum class Kind
    {
        Information,
        Warning,
    };

    explicit DesktopNotifier(QObject* parent = nullptr);

    // Called when the service is not there; may be unset.
    std::function<void(const QString& title, const QString& text, Kind kind)> Fallback;

    // Returns at once; the service is asked in the background.
    void notify(const QString& title, const QString& text, Kind kind);

    // The body as the service gets it: escaped when it renders markup.
    static QString body(const QString& text, bool markup);
};
