#pragma once

#include <QString>

#include "settings/SettingsStore.h"

namespace quenterra {

// Where the settings file is: beside the program, in programFolder, when that folder can be
// written. Otherwise, and always for a program installed under /usr, it is the user's own copy in
// userFolder; until that copy exists, the load starts from the file beside the program. Without a
// program folder (empty or not an absolute path) only the user's copy is used, never a file in the
// working folder; without a user folder (empty or not an absolute path) there is no user's copy,
// and the save path is empty: nothing is saved.
SettingsLocation LocateSettings(const QString& programFolder, const QString& userFolder);

// The folder of the user's own copy of the settings file: on Unix-like systems
// $XDG_CONFIG_HOME/quenterra, where that variable holds an absolute path, else
// ~/.config/quenterra. Empty when the user has no home folder to keep it in: $HOME (or, where it
// is not set, the user database) names no existing folder, or names the root of the file system.
QString UserSettingsFolder();

}  // namespace quenterra
