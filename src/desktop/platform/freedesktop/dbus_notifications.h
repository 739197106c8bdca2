#pragma once
// The real desktop notifications: org.freedesktop.Notifications on the session bus
// (GNOME, KDE, Xfce, mako, dunst ...). The call is sent and not waited for.

#include "core/shared/desktop_notifications.h"

class Dbus_notifications final : public Desktop_notifications
{
public:
    void Notify(const QString &summary, const QString &body) override;
};
