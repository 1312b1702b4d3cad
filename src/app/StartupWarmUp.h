#pragma once

#include <thread>

// Start-up work that needs nothing from the toolkit, done while the toolkit itself starts:
// the font configuration (the largest single cost before the first paint) on a second thread,
// the code page tables on the calling one. Create it before the application object and call
// finish() before the first window is made.
class StartupWarmUp
{
public:
    StartupWarmUp();
    ~StartupWarmUp();
    StartupWarmUp(const StartupWarmUp &) = delete;
    StartupWarmUp &operator=(const StartupWarmUp &) = delete;

    // Builds the code page tables here, then waits for the font configuration, so the
    // toolkit's first font lookup finds it loaded instead of loading it a second time.
    void finish();

private:
    std::thread m_fonts;
};
