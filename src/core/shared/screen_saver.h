#pragma once
// The screen-saver facility (see core/shared/facility.h): keeps the desktop from blanking
// the screen while the main window is loaded. On a Wayland session the synthesized
// Shift press reaches no idle timer; the desktop's own inhibition does.

#include <QString>

#include <functional>

class QObject;

class Screen_saver
{
public:
    virtual ~Screen_saver() = default;
    // Asks the desktop to keep the screen on while `window` is loaded. Where nothing
    // holds it and the Shift press cannot either, `not_held` is called once, later,
    // with a message for the user; the start goes on.
    virtual void Inhibit(const QString &application, const QString &reason, QObject *window,
                         std::function<void(const QString &)> not_held) = 0;
    // Gives the screen back.
    virtual void Uninhibit() = 0;
    static Screen_saver &Fallback(); // no desktop to ask
};

// What the program calls: Inhibit and Uninhibit of the facility installed now.
void Keep_screen_on(const QString &application, const QString &reason, QObject *window,
                    std::function<void(const QString &)> not_held);
void Let_screen_blank();
