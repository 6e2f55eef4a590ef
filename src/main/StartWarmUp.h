#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <functional>
#include <thread>

// Reads the system's font configuration on a second thread while the main
// thread connects to the display. Fontconfig parses its configuration files
// and maps its caches the first time any text is measured; done up front and
// beside the display set-up, the main window's first label no longer waits
// for it. Joined when this object ends (at the latest).
class StartWarmUp
{
public:
    // first: other work that needs no application object, done on the
    // thread before the font configuration.
    explicit StartWarmUp(std::function<void()> first);
    ~StartWarmUp();
    StartWarmUp(const StartWarmUp&) = delete;
    StartWarmUp& operator=(const StartWarmUp&) = delete;

    // Waits until the work and the configuration are done.
    void wait();

    // Once the application object exists: looks the given fonts up on the
    // second thread, while the main thread builds the windows. The list of
    // installed fonts and each family's fallback list are shared by all
    // threads, so the windows find them ready; each thread loads its own
    // glyph engines.
    // The picture is read as far as its format, on a thread of its own: the
    // first picture read from a file makes the toolkit load each of its
    // image-format plug-ins to ask whether it reads that format, and the
    // plug-ins stay loaded for all threads, so the windows' icons find them
    // ready.
    // Joined by wait() or when this object ends.
    void prepare(const QList<QFont>& fonts, const QString& picture);

private:
    std::thread m_thread;
    std::thread m_pictures;
};
