#pragma once
// Small platform facilities (see core/shared/facility.h), each with the procedure the
// program calls: the system beep, the URL handler, the uptime clock, ending the process.

#include <QUrl>
#include <QtGlobal>

class System_beep
{
public:
    virtual ~System_beep() = default;
    virtual void Beep() = 0;
    static System_beep &Fallback(); // silent
};

class Url_handler
{
public:
    virtual ~Url_handler() = default;
    // Hands a URL (mailto:, file:) to the desktop's handler without waiting; false when
    // nothing could take it.
    virtual bool Open(const QUrl &url) = 0;
    static Url_handler &Fallback(); // takes nothing
};

class Uptime_clock
{
public:
    virtual ~Uptime_clock() = default;
    // Milliseconds since the system started, as a signed 32-bit counter that wraps.
    virtual qint32 Uptime_ms() = 0;
    static Uptime_clock &Fallback(); // the system's own
};

class Process_exit
{
public:
    virtual ~Process_exit() = default;
    // Ends the process at once: no further event runs and no clean-up either.
    virtual void Exit_now(int code) = 0;
    static Process_exit &Fallback(); // the real end
};

namespace Platform {
void Beep();
bool Open_Url(const QUrl &url);
qint32 Uptime_ms();
void Exit_now(int code);
// The processor time the calling thread has used, in nanoseconds (0 where the system
// does not tell): the work in a handler, without the time it waited for a core.
qint64 Thread_cpu_ns();
// From now on a file growing past the process's size limit (ulimit -f) fails its
// write, as on a full disk, instead of ending the program with a signal. Called first
// thing by the program.
void Keep_running_at_file_size_limit();
} // namespace Platform
