#include "desktop/platform/desktop_system.h"

#include "desktop/platform/freedesktop/alsa_sound_output.h"
#include "desktop/platform/freedesktop/dbus_notifications.h"
#include "desktop/platform/freedesktop/dbus_screen_saver.h"
#include "desktop/platform/freedesktop/x11_keys.h"

#include <QtGlobal>

namespace Desktop_system {

bool Display_available()
{
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
           || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
void Press_shift() { X11_press_shift(); }
bool Key_map_known() { return X11_key_map_known(); }
bool Key_down(unsigned int native_scan_code) { return X11_key_down(native_scan_code); }
std::unique_ptr<Screen_saver> Make_screen_saver() { return std::make_unique<Dbus_screen_saver>(); }
std::unique_ptr<Sound_output> Make_sound_output() { return std::make_unique<Alsa_sound_output>(); }
std::unique_ptr<Desktop_notifications> Make_notifications() { return std::make_unique<Dbus_notifications>(); }

} // namespace Desktop_system
