#pragma once
// Key synthesis on X11 (XTest). Kept apart because the X11 headers define macros
// that clash with Qt.

// One Shift press and release to whatever window has the focus; nothing where the
// program does not run on X11 or was built without XTest.
void X11_press_shift();

// Whether the program runs on X11, where the key map can be asked.
bool X11_key_map_known();
// True while the key with this X key code is down on the X server now; false where
// the program does not run on X11.
bool X11_key_down(unsigned int keycode);
