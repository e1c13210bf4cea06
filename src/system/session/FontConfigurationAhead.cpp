#include "system/session/FontConfigurationAhead.h"

#include <system_error>

namespace quenterra {

FontConfigurationAhead::FontConfigurationAhead()
{
    if (!PrepareFontConfigurationLoad()) {
        return;
    }
    try {
        thread_ = std::thread(LoadFontConfiguration);
    } catch (const std::system_error&) {
        // No thread to be had: the first font loads the configuration, as it would without this.
    }
}

FontConfigurationAhead::~FontConfigurationAhead()
{
    wait();
}

void FontConfigurationAhead::wait()
{
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace quenterra
