#pragma once

namespace quenterra {

// Chooses how the window reaches the desktop, before the application object is made. GNOME's
// compositor leaves the title bars of Wayland windows to them, and Qt's own bar offers maximising
// to every window; through the desktop's X server (XWayland) the window gets the desktop's own bar,
// which offers what the window allows: minimise and close. A platform named in QT_QPA_PLATFORM
// stands, and so does native Wayland everywhere else.
void ChooseWindowPlatform();

}  // namespace quenterra
