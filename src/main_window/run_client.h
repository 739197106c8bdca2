#pragma once
// Runs the client: the application object, the main window and the event loop.
int Run_client(int argc, char **argv);

class Form_remotestart;
// The main window's start-up. A failure in it goes to the error-report window
// instead of ending the process, and the window still opens.
void Guarded_Form_Load(Form_remotestart &window);
