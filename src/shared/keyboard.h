#pragma once
// The keyboard as the program asks and drives it, through the keyboard facility
// (see shared/facility.h).

class Keyboard
{
public:
    virtual ~Keyboard() = default;
    // True while either Ctrl key is held, asked of the window system now.
    virtual bool Ctrl_down() = 0;
    // One Shift press and release, to whatever window has the focus.
    virtual void Press_shift() = 0;
    static Keyboard &Fallback(); // no keyboard: nothing held, nothing pressed
};

// True while a Ctrl key is held.
bool Ctrl_Key_Down();

// One synthesized Shift press and release, to whatever window has the focus.
void Press_Shift_Key();
