#pragma once
// The desktop-notification facility (see core/shared/facility.h): a short notice shown
// outside the window, for what must be seen while the window is covered.

#include <QString>

class Desktop_notifications
{
public:
    virtual ~Desktop_notifications() = default;
    // Shows the notice where the desktop has a notification service; nothing, and no
    // message, where it has none. Never waits for the desktop.
    virtual void Notify(const QString &summary, const QString &body) = 0;
    static Desktop_notifications &Fallback(); // no desktop to tell
};
