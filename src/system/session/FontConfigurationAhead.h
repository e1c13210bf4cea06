#pragma once

#include <thread>

namespace quenterra {

// The system's font configuration loaded ahead, on a thread of its own, while the application
// object connects to the display: on Linux fontconfig's (its files of rules and the caches of every
// font folder, about a quarter of the start-up's work), which the window's first font would
// otherwise load on the spot. Where the system has nothing to load ahead, nothing happens.
class FontConfigurationAhead {
public:
    // Starts the load.
    FontConfigurationAhead();
    // Waits for it.
    ~FontConfigurationAhead();
    FontConfigurationAhead(const FontConfigurationAhead&) = delete;
    FontConfigurationAhead& operator=(const FontConfigurationAhead&) = delete;

    // Waits until the configuration is loaded: before the first font is asked for, so that it is
    // not loaded twice.
    void wait();

private:
    std::thread thread_;
};

// Per system: readies the load ahead and tells whether there is one,
bool PrepareFontConfigurationLoad();
// and the load itself, on the thread.
void LoadFontConfiguration();

}  // namespace quenterra
