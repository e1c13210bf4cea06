#pragma once

#include <QString>

namespace quenterra {

// The texts that tell the user what to do when a serial device cannot be used.

// "<what> is <how>. Close that program and try again.": a device another program holds.
QString BusyText(const QString& what, const QString& how);

// A device the user may not open, owned by `group`: how to join that group.
QString JoinGroupAdvice(const QString& group);

// A device the user may not open, where no group can be named.
QString AskForAccessAdvice();

// What to tell a user who may not open the device at devicePath: on Unix-like systems, the group
// that owns it and how to join that group (per system).
QString DeviceAccessAdvice(const QString& devicePath);

// Settings text that is no line settings: what they look like.
QString NoLineSettingsText(const QString& settings);

}  // namespace quenterra
