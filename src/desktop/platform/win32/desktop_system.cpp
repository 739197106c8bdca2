#include "desktop/platform/desktop_system.h"

#include "core/platform/win32/win32_keep_awake.h"
#include "core/platform/win32/win32_keyboard.h"

namespace Desktop_system {

namespace {

// Windows has no screen-saver service to ask; the thread's execution state does it, and
// the synthesized Shift press resets its idle timers too, so nothing is left unheld.
class Execution_state_screen_saver final : public Screen_saver
{
public:
    ~Execution_state_screen_saver() override { Uninhibit(); }
    void Inhibit(const QString &, const QString &, QObject *, std::function<void(const QString &)>) override
    {
        Win32_keep_display_on(true);
    }
    void Uninhibit() override { Win32_keep_display_on(false); }
};

} // namespace

void Press_shift() { Win32_press_shift(); }
bool Key_map_known() { return false; }
bool Key_down(unsigned int) { return false; }
std::unique_ptr<Screen_saver> Make_screen_saver() { return std::make_unique<Execution_state_screen_saver>(); }

} // namespace Desktop_system
