#pragma once
// Runs the client: the application object, the real facilities, the main window and
// the event loop.

#include "desktop/error_report/dkn_error_form.h"
#include "desktop/shared/desktop_facilities.h"
#include "core/shared/facility.h"

int Run_client(int argc, char **argv);

// The application's name, which message boxes take as their title. No display
// name and no icon for every window: each title reads exactly as its caption, and
// only the main window carries the program icon.
void Set_application_identity();

// The facilities the program uses, the real ones, installed while it lives: the
// desktop's, and the error-report window at the end of the failure route. Run_client
// makes one; the window tests make one too.
class Program_facilities
{
public:
    Program_facilities() = default;
    Q_DISABLE_COPY_MOVE(Program_facilities)

private:
    Desktop_facilities desktop_;
    Error_window_reports reports_;
    Scoped_facility<Failure_sink> use_reports_{reports_};
};
