#pragma once
// The desktop's pieces that differ by system, one folder each (platform/freedesktop/,
// platform/win32/); desktop/shared/desktop_facilities.cpp installs them.

#include "core/shared/desktop_notifications.h"
#include "core/shared/screen_saver.h"
#include "core/shared/sound_output.h"

#include <memory>

namespace Desktop_system {

// One Shift press and release to whatever window has the focus.
void Press_shift();
// Whether Key_down can tell (the X key map); where not, a held key is let go only when
// its release comes (Windows marks its own repeats).
bool Key_map_known();
// True while the key with this native scan code is down now.
bool Key_down(unsigned int native_scan_code);

// Whether a window can be shown at all: false where no display is named to connect to.
bool Display_available();

// What keeps the screen on while the main window is loaded.
std::unique_ptr<Screen_saver> Make_screen_saver();
// What plays the ring tone, on a thread of its own; silent where there is no device.
std::unique_ptr<Sound_output> Make_sound_output();
// What shows a notice outside the window; nothing where the desktop has no such service.
std::unique_ptr<Desktop_notifications> Make_notifications();

} // namespace Desktop_system
