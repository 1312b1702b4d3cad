#include "StartupWarmUp.h"

#include "storage/Cp932.h"

#include <fontconfig/fontconfig.h>

StartupWarmUp::StartupWarmUp()
    // The toolkit asks for the same default configuration later and then finds it made. A
    // failure here is left for the toolkit to meet and handle in its own way.
    : m_fonts([] { FcInit(); })
{ }

StartupWarmUp::~StartupWarmUp()
{
    if (m_fonts.joinable())
        m_fonts.join();
}

void StartupWarmUp::finish()
{
    Cp932::prepare();
    if (m_fonts.joinable())
        m_fonts.join();
}
