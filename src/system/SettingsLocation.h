#pragma once

#include <QString>

#include "settings/SettingsStore.h"

namespace quenterra {

// Where the settings file is: beside the program, in programFolder, when that folder can be
// written. Otherwise, and always for a program installed under /usr, it is the user's own copy in
// userFolder; until that copy exists, the load starts from the file beside the program. Without a
// program folder (empty or not an absolute path) only the user's copy is used, never a file in the
// working folder.
SettingsLocation LocateSettings(const QString& programFolder, const QString& userFolder);

}  // namespace quenterra
