#include "StartupWarmUp.h"

#include "storage/Cp932.h"

#include <fontconfig/fontconfig.h>

StartupWarmUp::StartupWarmUp()
    // The toolkit asks for the same default configuration later and then finds it made. A
    // failure here is left for the toolkit to meet and handle in its own way.
    : m_worker([] {
        FcInit();
        Cp932::prepare();
    })
{ }

StartupWarmUp::~StartupWarmUp()
{
    if (m_worker.joinable())
        m_worker.join();
}

void StartupWarmUp::finish()
{
    if (m_worker.joinable())
        m_worker.join();
}
