#pragma once
// The keyboard as the program asks and drives it, through the keyboard facility
// (see core/shared/facility.h).

class Keyboard
{
public:
    virtual ~Keyboard() = default;
    // True while either Ctrl key is held, asked of the window system now.
    virtual bool Ctrl_down() = 0;
    // One Shift press and release, to whatever window has the focus.
    virtual void Press_shift() = 0;
    // True while the key with this native scan code (as the window system gives it in a
    // key event) is held down now, whatever the event queue holds. False where the
    // window system cannot tell, which the caller takes as released.
    virtual bool Key_down(unsigned int native_scan_code)
    {
        (void)native_scan_code;
        return false;
    }
    // True where Key_down can tell (the X key map). Elsewhere a held key is let go only
    // when its release comes.
    virtual bool Key_map_known() { return false; }
    static Keyboard &Fallback(); // no keyboard: nothing held, nothing pressed
};

// True while a Ctrl key is held.
bool Ctrl_Key_Down();

// One synthesized Shift press and release, to whatever window has the focus.
void Press_Shift_Key();
