#include "FontWarmUp.h"

#include <QFontMetrics>
#include <fontconfig/fontconfig.h>

FontWarmUp::FontWarmUp()
{
    // Fontconfig's first initialisation is safe against a concurrent one:
    // should the toolkit get there first, one of the two configurations is
    // dropped and both threads go on with the other.
    m_thread = std::thread([] { FcInit(); });
}

FontWarmUp::~FontWarmUp()
{
    wait();
}

void FontWarmUp::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

void FontWarmUp::prepare(const QList<QFont>& fonts)
{
    wait();
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
