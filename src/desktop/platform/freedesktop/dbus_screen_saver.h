#pragma once
// The real screen-saver facility. It asks in turn until one holds: the desktop
// portal's Inhibit (GNOME, KDE and others), the desktop's org.freedesktop.ScreenSaver,
// and on a Wayland session the compositor, on the window's own surface. What it
// holds is given back at Uninhibit, and when it goes.

#include "core/shared/screen_saver.h"

#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>

class QDBusPendingCallWatcher;
class Wayland_idle_inhibitor;

class Dbus_screen_saver final : public Screen_saver
{
public:
    Dbus_screen_saver();
    ~Dbus_screen_saver() override;
    void Inhibit(const QString &application, const QString &reason, QObject *window,
                 std::function<void(const QString &)> not_held) override;
    void Uninhibit() override;
    // True while a way is being asked and its answer is not in yet.
    bool Asking() const { return asking_ != Way::None; }

    // The message for a Wayland session where nothing holds the screen on.
    static const QString Not_held_text;

private:
    enum class Way { None, Portal, Screen_saver, Compositor };
    void Ask(Way way);
    bool Take_answer(); // true when what was asked now holds
    void Ask_compositor();
    void Say_not_held();

    QObject context_; // receives the answers; gone with this
    QString application_;
    QString reason_;
    QPointer<QObject> window_;
    std::function<void(const QString &)> not_held_;
    Way asking_ = Way::None;
    Way held_ = Way::None;
    std::optional<QDBusPendingCall> pending_;
    std::unique_ptr<QDBusPendingCallWatcher> watcher_;
    QDBusObjectPath request_;
    uint cookie_ = 0;
    std::unique_ptr<Wayland_idle_inhibitor> compositor_;
    std::unique_ptr<QObject> show_watch_;
};
