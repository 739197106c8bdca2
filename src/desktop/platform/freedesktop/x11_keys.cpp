#include "desktop/platform/freedesktop/x11_keys.h"

#include <QGuiApplication>

#ifdef VELANTRA_HAVE_XTEST
#include "core/shared/library_calls.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#endif

#ifdef VELANTRA_HAVE_XTEST
namespace {
Display *Qt_display()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

// The XTest library is loaded by the first synthesised key, not with every start: the
// first paint does not need it. Without it, no key is made (as off X11).
decltype(&XTestFakeKeyEvent) Fake_key_event()
{
    static const auto call = [] {
        QLibrary library(QStringLiteral("Xtst"), 6);
        decltype(&XTestFakeKeyEvent) fake_key_event = nullptr;
        Resolve(library, "XTestFakeKeyEvent", fake_key_event);
        return fake_key_event;
    }(); // the library stays loaded for the process's life
    return call;
}
} // namespace
#endif

void X11_press_shift()
{
#ifdef VELANTRA_HAVE_XTEST
    Display *display = Qt_display();
    if (!display)
        return; // not on X11: nothing to do
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    const auto fake_key_event = Fake_key_event();
    if (shift == 0 || !fake_key_event)
        return;
    fake_key_event(display, shift, True, CurrentTime);
    fake_key_event(display, shift, False, CurrentTime);
    XFlush(display);
#endif
}

bool X11_key_map_known()
{
#ifdef VELANTRA_HAVE_XTEST
    return Qt_display() != nullptr;
#else
    return false;
#endif
}

bool X11_key_down(unsigned int keycode)
{
#ifdef VELANTRA_HAVE_XTEST
    Display *display = Qt_display();
    if (!display || keycode > 255)
        return false;
    // The server's key map now: a held key stays down in it between the release and
    // press pairs the server makes while repeating it.
    char keys[32] = {};
    XQueryKeymap(display, keys);
    return (keys[keycode / 8] >> (keycode % 8)) & 1;
#else
    (void)keycode;
    return false;
#endif
}
