#include "system/session/WindowPlatform.h"

#include <QByteArray>
#include <QtGlobal>

namespace quenterra {

void ChooseWindowPlatform()
{
    // Qt 5 made the same choice on GNOME, by the same test.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY") &&
        qgetenv("XDG_CURRENT_DESKTOP").toLower().contains("gnome")) {
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");  // Wayland should the X server not answer
    }
}

}  // namespace quenterra
