#include "core/platform/system_calls.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>

#if defined(__linux__)
#include <sys/resource.h>
#endif

namespace System_calls {

std::int32_t Uptime_ms()
{
#if defined(CLOCK_BOOTTIME)
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    const std::uint64_t ms = std::uint64_t(ts.tv_sec) * 1000u + std::uint64_t(ts.tv_nsec) / 1000000u;
#else
    const auto ms = std::uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now().time_since_epoch())
                                      .count());
#endif
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms)); // wraps like the Windows counter
}

void Keep_running_at_file_size_limit()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

System_text Local_data_folder()
{
    System_text folder;
    const char *xdg = std::getenv("XDG_DATA_HOME");
    const char *home = std::getenv("HOME");
    if (xdg && *xdg)
        folder.bytes = xdg;
    else
        folder.bytes = std::string(home && *home ? home : "/") + "/.local/share";
    return folder;
}

bool Local_clock(int &hours, int &minutes, int &seconds)
{
    // The zone is read again at most once a minute, so one changed while the program runs
    // is in the stamps within a minute: reading it looks at the zone's file, which cost a
    // Start more than all the rest of its text.
    static std::atomic<std::time_t> zone_read{0};
    const std::time_t now = std::time(nullptr);
    if (now - zone_read.load(std::memory_order_relaxed) >= 60) {
        zone_read.store(now, std::memory_order_relaxed);
        ::tzset();
    }
    std::tm local{};
    if (now == std::time_t(-1) || !::localtime_r(&now, &local))
        return false;
    hours = local.tm_hour, minutes = local.tm_min, seconds = local.tm_sec;
    return true;
}

std::int64_t Thread_cpu_ns()
{
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
#else
    return 0;
#endif
}

void Lower_thread_priority()
{
#if defined(__linux__)
    (void)::setpriority(PRIO_PROCESS, 0, 5); // Linux: the nice value of the calling thread alone
#endif
}

const char *const *Phidget_library_names()
{
#if defined(__APPLE__)
    static const char *const names[] = {"/Library/Frameworks/Phidget21.framework/Phidget21", nullptr};
#else
    static const char *const names[] = {"libphidget21.so.0", "libphidget21.so", nullptr};
#endif
    return names;
}

} // namespace System_calls
