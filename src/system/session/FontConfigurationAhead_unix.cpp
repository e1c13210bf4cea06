#include "system/session/FontConfigurationAhead.h"

namespace quenterra {

// Outside Linux nothing is loaded ahead: on macOS Qt asks Core Text for the fonts when the first
// one is needed.
bool PrepareFontConfigurationLoad()
{
    return false;
}

void LoadFontConfiguration() {}

}  // namespace quenterra
