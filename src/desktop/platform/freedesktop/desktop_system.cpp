#include "desktop/platform/desktop_system.h"

#include "desktop/platform/freedesktop/dbus_screen_saver.h"
#include "desktop/platform/freedesktop/x11_keys.h"

namespace Desktop_system {

void Press_shift() { X11_press_shift(); }
bool Key_map_known() { return X11_key_map_known(); }
bool Key_down(unsigned int native_scan_code) { return X11_key_down(native_scan_code); }
std::unique_ptr<Screen_saver> Make_screen_saver() { return std::make_unique<Dbus_screen_saver>(); }

} // namespace Desktop_system
