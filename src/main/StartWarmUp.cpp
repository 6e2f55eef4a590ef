#include "StartWarmUp.h"

#include <QFontMetrics>
#include <QImageReader>
#include <fontconfig/fontconfig.h>

StartWarmUp::StartWarmUp(std::function<void()> first)
{
    // Fontconfig's first initialisation is safe against a concurrent one:
    // should the toolkit get there first, one of the two configurations is
    // dropped and both threads go on with the other.
    m_thread = std::thread([first = std::move(first)] {
        first();
        FcInit();
    });
}

StartWarmUp::~StartWarmUp()
{
    wait();
}

void StartWarmUp::wait()
{
    if (m_thread.joinable())
        m_thread.join();
    if (m_pictures.joinable())
        m_pictures.join();
}

void StartWarmUp::prepare(const QList<QFont>& fonts, const QString& picture)
{
    wait();
    m_pictures = std::thread([picture] { QImageReader(picture).format(); });
    m_thread = std::thread([fonts] {
        // A blank string finds the font for text of no particular script (an
        // empty line edit), a word the one for Latin text (every caption).
        for (const QFont& font : fonts) {
            const QFontMetrics metrics(font);
            metrics.horizontalAdvance(QStringLiteral(" "));
            metrics.horizontalAdvance(QStringLiteral("Postrella"));
        }
    });
}
