#pragma once
// Keeping the display on, on Windows. Qt-free (see win32_keyboard.h).

// Asks Windows to keep the display on and the machine awake (on) or gives that
// back (off). The request belongs to the calling thread and ends with it: call
// both from the thread that lives as long as the request, the application's.
bool Win32_keep_display_on(bool on);
