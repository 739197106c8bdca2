#include "desktop/platform/freedesktop/wayland_idle_inhibitor.h"

#include <idle-inhibit-unstable-v1-client-protocol.h>

#include <QGuiApplication>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <cstring>
#include <wayland-client.h>

namespace {

void On_global(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
{
    auto **manager = static_cast<zwp_idle_inhibit_manager_v1 **>(data);
    if (!*manager && std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0)
        *manager = static_cast<zwp_idle_inhibit_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
}

void On_global_remove(void *, wl_registry *, uint32_t) {}

const wl_registry_listener Registry_listener = {On_global, On_global_remove};

} // namespace

std::unique_ptr<Wayland_idle_inhibitor> Wayland_idle_inhibitor::Create(QWindow *window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("wayland"))
        return nullptr;
    QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
    if (!native)
        return nullptr;
    auto *display = static_cast<wl_display *>(native->nativeResourceForIntegration("wl_display"));
    auto *surface = static_cast<wl_surface *>(native->nativeResourceForWindow("surface", window));
    if (!display || !surface)
        return nullptr;

    std::unique_ptr<Wayland_idle_inhibitor> held(new Wayland_idle_inhibitor);
    held->display_ = display;
    // A queue of our own: the registry's events must not be dispatched by Qt's
    // handlers, nor Qt's by this roundtrip.
    held->queue_ = wl_display_create_queue(display);
    auto *wrapped = static_cast<wl_display *>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(wrapped), held->queue_);
    wl_registry *registry = wl_display_get_registry(wrapped);
    wl_proxy_wrapper_destroy(wrapped);
    wl_registry_add_listener(registry, &Registry_listener, &held->manager_);
    const int answered = wl_display_roundtrip_queue(display, held->queue_);
    wl_registry_destroy(registry);
    if (answered < 0 || !held->manager_)
        return nullptr; // the compositor does not offer it
    held->inhibitor_ = zwp_idle_inhibit_manager_v1_create_inhibitor(held->manager_, surface);
    wl_display_flush(display);
    return held;
}

Wayland_idle_inhibitor::~Wayland_idle_inhibitor()
{
    if (inhibitor_)
        zwp_idle_inhibitor_v1_destroy(inhibitor_);
    if (manager_)
        zwp_idle_inhibit_manager_v1_destroy(manager_);
    if (display_)
        wl_display_flush(display_);
    if (queue_)
        wl_event_queue_destroy(queue_);
}
