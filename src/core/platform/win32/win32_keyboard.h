#pragma once
// Key synthesis on Windows. Qt-free, like everything in this folder, so that it
// compiles (and is checked) with the MinGW cross-compiler where no Windows Qt is.

// One Shift press and release to whatever window has the focus. False when
// Windows took none of it (another program's elevated window has the focus).
bool Win32_press_shift();
