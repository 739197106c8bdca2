#include "shared/desktop/x11_keys.h"

#include <QGuiApplication>

#ifdef VELANTRA_HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#endif

void X11_press_shift()
{
#ifdef VELANTRA_HAVE_XTEST
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return; // not on X11: nothing to do
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    if (shift == 0)
        return;
    XTestFakeKeyEvent(display, shift, True, CurrentTime);
    XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XFlush(display);
#endif
}
