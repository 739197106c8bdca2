#pragma once
// The program's list of loaded windows, in the order they were loaded. A window
// is loaded when it registers and unloaded when it has accepted its close.

#include <QList>
#include <QWidget>

namespace Forms {

void Register_Form(QWidget *form);
QList<QWidget *> Loaded_Forms();
bool Is_Loaded(const QWidget *form);

// Closes the window; when it accepts, it leaves the list at once and is deleted
// from the event loop (never under the feet of its own running handler).
bool Unload_Form(QWidget *form);

} // namespace Forms

// Unloads the program's windows, the last loaded first; stops when one refuses.
void Unload_All_Forms();
