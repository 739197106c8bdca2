#pragma once
// Runs the client: the application object, the main window and the event loop.
int Run_client(int argc, char **argv);

// The application's name, which message boxes take as their title. No display
// name and no icon for every window: each title reads exactly as its caption, and
// only the main window carries the program icon.
void Set_application_identity();

class Form_remotestart;
// The main window's start-up. A failure in it goes to the error-report window
// instead of ending the process, and the window still opens.
void Guarded_Form_Load(Form_remotestart &window);
