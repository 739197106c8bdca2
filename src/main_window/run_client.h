#pragma once
// Runs the client: the application object, the main window and the event loop.
int Run_client(int argc, char **argv);
