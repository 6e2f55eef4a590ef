#pragma once

#include <QFont>
#include <QList>
#include <thread>

// Reads the system's font configuration on a second thread while the main
// thread connects to the display. Fontconfig parses its configuration files
// and maps its caches the first time any text is measured; done up front and
// beside the display set-up, the main window's first label no longer waits
// for it. Joined when this object ends (at the latest).
class FontWarmUp
{
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    // Waits until the configuration has been read.
    void wait();

    // Once the application object exists: looks the given fonts up on the
    // second thread, while the main thread builds the windows. The list of
    // installed fonts and each family's fallback list are shared by all
    // threads, so the windows find them ready; each thread loads its own
    // glyph engines. Joined by wait() or when this object ends.
    void prepare(const QList<QFont>& fonts);

private:
    std::thread m_thread;
};
