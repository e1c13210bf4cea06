#include "system/session/WindowPlatform.h"

namespace quenterra {

// Windows draws every window's frame as the window asks.
void ChooseWindowPlatform() {}

}  // namespace quenterra
