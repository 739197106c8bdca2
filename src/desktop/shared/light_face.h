#pragma once
// The light face the windows were drawn for: the blue clock, the navy title, the dark
// red frame caption and the other named colours are chosen against a light grey window
// and white boxes, and a dark desktop theme would put them on dark grey. So the
// program's windows keep a light palette of their own whatever the theme; the boxes
// and dialogs of the desktop keep the theme's.

#include <QPalette>

class QWidget;

namespace Light_face {

// A light Windows-like palette: light grey window and buttons, white boxes, black text.
QPalette Palette();

// Gives window, and the menus that open from it, the light palette. Call it before
// the window's controls set colours of their own, so theirs are laid over it.
void Apply(QWidget *window);

} // namespace Light_face
