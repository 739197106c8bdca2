#include "shared/keyboard.h"

#include "shared/platform.h"

bool Ctrl_Key_Down() { return Platform::Ctrl_Key_Down(); }

void Press_Shift_Key() { Platform::Press_Shift_Key(); }
