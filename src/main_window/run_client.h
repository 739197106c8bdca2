#pragma once
// Runs the client: the application object, the main window and the event loop.
int Run_client(int argc, char **argv);

// The application's name, which message boxes take as their title. No display
// name and no icon for every window: each title reads exactly as its caption, and
// only the main window carries the program icon.
void Set_application_identity();
