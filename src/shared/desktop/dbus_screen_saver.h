#pragma once
// The real screen-saver facility: the desktop's org.freedesktop.ScreenSaver on the
// session bus. What it holds is given back when it goes, too.

#include "shared/screen_saver.h"

#include <QDBusPendingCall>
#include <optional>

class Dbus_screen_saver final : public Screen_saver
{
public:
    ~Dbus_screen_saver() override;
    void Inhibit(const QString &application, const QString &reason) override;
    void Uninhibit() override;

private:
    std::optional<QDBusPendingCall> request_;
};
