#pragma once

#include <thread>

// Start-up work that needs nothing from the toolkit, done on a second thread while the toolkit
// itself starts: the font configuration (the largest single cost before the first paint), then
// the code page tables. Both usually end before the application object has been made, so the
// main thread rarely waits. Create it before the application object and call finish() before
// the first window is made; until then the main thread touches neither.
class StartupWarmUp
{
public:
    StartupWarmUp();
    ~StartupWarmUp();
    StartupWarmUp(const StartupWarmUp &) = delete;
    StartupWarmUp &operator=(const StartupWarmUp &) = delete;

    // Waits for the second thread, so the toolkit's first font lookup finds the configuration
    // loaded instead of loading it a second time, and the first conversion finds its tables.
    void finish();

private:
    std::thread m_worker;
};
