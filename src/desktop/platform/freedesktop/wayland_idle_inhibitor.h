#pragma once
// The compositor's idle inhibition (zwp_idle_inhibit_manager_v1) on a window's
// surface: while it lives and the window is shown, a Wayland compositor does not
// blank the screen. Built only where the protocol and its client library are.

#include <memory>

class QWindow;
struct zwp_idle_inhibit_manager_v1;
struct zwp_idle_inhibitor_v1;
struct wl_event_queue;
struct wl_display;

class Wayland_idle_inhibitor
{
public:
    // Null unless the window is on a Wayland compositor that offers the protocol
    // and its surface exists (so: after it is first shown).
    static std::unique_ptr<Wayland_idle_inhibitor> Create(QWindow *window);
    ~Wayland_idle_inhibitor();
    Wayland_idle_inhibitor(const Wayland_idle_inhibitor &) = delete;
    Wayland_idle_inhibitor &operator=(const Wayland_idle_inhibitor &) = delete;

private:
    Wayland_idle_inhibitor() = default;
    wl_display *display_ = nullptr;
    wl_event_queue *queue_ = nullptr;
    zwp_idle_inhibit_manager_v1 *manager_ = nullptr;
    zwp_idle_inhibitor_v1 *inhibitor_ = nullptr;
};
