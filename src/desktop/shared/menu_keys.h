#pragma once
// The menu bar from the keyboard beside Alt+letter: F10 opens the first menu, as
// desktops do, where Qt does not do it by itself.

class QMenuBar;

// F10 in the bar's window opens its first visible menu. A control that takes F10 for
// itself (by accepting the shortcut override) keeps it.
void Open_menu_bar_on_F10(QMenuBar *bar);
