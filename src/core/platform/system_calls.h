#pragma once
// Small calls of one system (platform/posix/, platform/win32/). Plain C++.

#include "core/platform/system_path.h"

#include <cstdint>

namespace System_calls {

// Milliseconds since the system started, as a signed 32-bit counter that wraps.
std::int32_t Uptime_ms();

// From now on a file growing past the process's size limit fails its write, as on a
// full disk, instead of ending the program with a signal.
void Keep_running_at_file_size_limit();

// The user's folder for local application data, as the system names it (the known
// folder itself on Windows, XDG_DATA_HOME or ~/.local/share elsewhere); empty where
// there is none.
System_text Local_data_folder();

// The local wall clock's hour, minute and second now, as the system keeps it; false
// where it cannot tell.
bool Local_clock(int &hours, int &minutes, int &seconds);

// CPU time the calling thread has used, in nanoseconds; 0 where the system cannot tell.
std::int64_t Thread_cpu_ns();

// The calling thread runs below the program's others from now on (work that may wait).
void Lower_thread_priority();

// The names the Phidget library is looked up by, most likely first; ends with nullptr.
const char *const *Phidget_library_names();

} // namespace System_calls

// The calling convention of the Phidget library's C functions and callbacks: the
// system's standard one on 32-bit Windows, the C default elsewhere.
#if defined(_WIN32)
#define PHIDGET_CCONV __stdcall
#else
#define PHIDGET_CCONV
#endif
