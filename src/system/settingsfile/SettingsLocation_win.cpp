#include "system/settingsfile/SettingsLocation.h"

#include <QStandardPaths>

namespace quenterra {

QString UserSettingsFolder()
{
    // %LOCALAPPDATA%\quenterra
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

}  // namespace quenterra
