#pragma once
// Runs the client: the application object, the main window and the event loop.
int Run_client(int argc, char **argv);

// The application's name as windows and message boxes show it; no program icon
// for all windows (the main window carries its own).
void Set_application_identity();
