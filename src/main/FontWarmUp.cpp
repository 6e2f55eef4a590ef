#include "FontWarmUp.h"

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
