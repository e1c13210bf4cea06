#include "system/session/FontConfigurationAhead.h"

#include <fontconfig/fontconfig.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace quenterra {

bool PrepareFontConfigurationLoad()
{
    // fontconfig reads the environment and the C locale while it loads, and the application
    // object, made meanwhile, changes both: it sets the user's C locale, and it takes the desktop's
    // start-up notice out of the environment, which moves every variable after it. Both are made
    // ready first: the locale set as Qt will set it, and the start-up notice moved to the end of
    // the environment, so that taking it out moves no variable the load may be reading.
    std::setlocale(LC_ALL, "");
    for (const char* name : {"DESKTOP_STARTUP_ID", "XDG_ACTIVATION_TOKEN"}) {
        if (const char* value = std::getenv(name)) {
            const std::string kept = value;
            ::unsetenv(name);
            ::setenv(name, kept.c_str(), 1);
        }
    }
    return true;
}

void LoadFontConfiguration()
{
    // Where it fails, Qt's own call at the first font tries again, as without the load ahead.
    FcInit();
}

}  // namespace quenterra
