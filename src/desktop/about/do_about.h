#pragma once
class QWidget;

// Opens the About window over the main window's top-left corner, modeless and topmost.
// A failure on the way goes to the failure route; the caller sees none.
void Do_About(QWidget *main_window);
