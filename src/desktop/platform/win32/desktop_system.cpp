#include "desktop/platform/desktop_system.h"

#include "core/platform/win32/win32_keep_awake.h"
#include "core/platform/win32/win32_keyboard.h"
#include "core/platform/win32/win32_sound.h"
#include "core/shared/wav_image.h"

namespace Desktop_system {

bool Display_available() { return true; } // there is always a desktop to show a window on

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

class Wave_player_sound_output final : public Sound_output
{
public:
    void Play(const Wav_image &wave, bool wait) override
    {
        Win32_play_pcm(wave.samples.constData(), std::size_t(wave.samples.size()), wave.channels, wave.sample_rate,
                       wave.bits_per_sample, wait);
    }
    bool Playing() const override { return Win32_sound_playing(); }
};

// No notification on Windows yet: the alarm in the window and the task bar's flash.
class No_notifications final : public Desktop_notifications
{
public:
    void Notify(const QString &, const QString &) override {}
};

} // namespace

void Press_shift() { Win32_press_shift(); }
bool Key_map_known() { return false; }
bool Key_down(unsigned int) { return false; }
std::unique_ptr<Screen_saver> Make_screen_saver() { return std::make_unique<Execution_state_screen_saver>(); }
std::unique_ptr<Sound_output> Make_sound_output() { return std::make_unique<Wave_player_sound_output>(); }
std::unique_ptr<Desktop_notifications> Make_notifications() { return std::make_unique<No_notifications>(); }

} // namespace Desktop_system
