#pragma once
// The keyboard as the program asks and drives it.

// True while a Ctrl key is held.
bool Ctrl_Key_Down();

// One synthesized Shift press and release, to whatever window has the focus.
void Press_Shift_Key();
