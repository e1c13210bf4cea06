#include "system/session/FontConfigurationAhead.h"

namespace quenterra {

// Qt asks Windows for its fonts when the first one is needed: there is nothing to load ahead.
bool PrepareFontConfigurationLoad()
{
    return false;
}

void LoadFontConfiguration() {}

}  // namespace quenterra
