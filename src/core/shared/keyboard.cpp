#include "core/shared/keyboard.h"

#include "core/shared/facility.h"

namespace {
class No_keyboard final : public Keyboard
{
public:
    bool Ctrl_down() override { return false; }
    void Press_shift() override {}
};
} // namespace

Keyboard &Keyboard::Fallback()
{
    static No_keyboard none;
    return none;
}

bool Ctrl_Key_Down() { return Facility<Keyboard>::Get().Ctrl_down(); }

void Press_Shift_Key() { Facility<Keyboard>::Get().Press_shift(); }
