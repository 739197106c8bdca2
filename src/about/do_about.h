#pragma once
#include <functional>

class QWidget;

// Opens the About window over the main window's top-left corner, modeless and topmost.
// A failure on the way goes to the error-report window; the caller sees none.
void Do_About(QWidget *main_window);

namespace About {
// Tests: called as each step of Do_About begins, with the step's number; may throw.
std::function<void(int step)> &Test_step_hook();
} // namespace About
