// Key synthesis. Kept apart because the X11 headers define macros that clash with Qt.
#include "shared/platform.h"

#include <QGuiApplication>

#ifdef VELANTRA_HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#endif

namespace Platform {

void Press_Shift_Key()
{
    if (Test_Hooks().press_shift) {
        Test_Hooks().press_shift();
        return;
    }
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

} // namespace Platform
