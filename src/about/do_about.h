#pragma once
class QWidget;

// Opens the About window over the main window's top-left corner, modeless and topmost.
void Do_About(QWidget *main_window);
