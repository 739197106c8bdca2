#include "core/platform/win32/win32_keyboard.h"

#include "core/platform/win32/win32_api.h"

bool Win32_press_shift()
{
    // Press and release in one call: no other input comes between them, and the key
    // is never left held down. Like a person's key, it resets the idle timers.
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_SHIFT;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, keys, sizeof(INPUT)) == 2;
}
