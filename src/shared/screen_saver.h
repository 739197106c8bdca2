#pragma once
// Keeps the desktop from blanking the screen while the main window is loaded. On a
// Wayland session the synthesized Shift press reaches no idle timer; the desktop's
// own screen-saver inhibition does.

#include <QString>
#include <memory>

class Screen_saver_inhibitor
{
public:
    virtual ~Screen_saver_inhibitor() = default;
    // Asks the desktop to keep the screen on. Without anyone to ask, nothing happens.
    virtual void Inhibit(const QString &application, const QString &reason) = 0;
    // Gives the screen back; also done when the inhibitor goes.
    virtual void Uninhibit() = 0;
};

// The desktop's org.freedesktop.ScreenSaver on the session bus.
std::unique_ptr<Screen_saver_inhibitor> Make_Screen_saver_inhibitor();
