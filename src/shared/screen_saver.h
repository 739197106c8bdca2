#pragma once
// The screen-saver facility (see shared/facility.h): keeps the desktop from blanking
// the screen while the main window is loaded. On a Wayland session the synthesized
// Shift press reaches no idle timer; the desktop's own screen-saver inhibition does.

#include <QString>

class Screen_saver
{
public:
    virtual ~Screen_saver() = default;
    // Asks the desktop to keep the screen on. Without anyone to ask, nothing happens.
    virtual void Inhibit(const QString &application, const QString &reason) = 0;
    // Gives the screen back.
    virtual void Uninhibit() = 0;
    static Screen_saver &Fallback(); // no desktop to ask
};
