#include "core/platform/system_calls.h"

#include "core/platform/win32/win32_api.h"

#include <knownfolders.h>
#include <shlobj.h>

namespace System_calls {

std::int32_t Uptime_ms() { return static_cast<std::int32_t>(GetTickCount()); }

void Keep_running_at_file_size_limit() {} // Windows has no such limit and no signal for it

System_text Local_data_folder()
{
    // The known folder behind %LOCALAPPDATA%, asked of the shell: right even where the
    // variable is missing or changed in the environment we were given.
    System_text folder;
    wchar_t *path = nullptr;
    if (SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &path) == S_OK)
        for (const wchar_t *c = path; *c; ++c)
            folder.utf16 += char16_t(*c);
    CoTaskMemFree(path);
    return folder;
}

bool Local_clock(int &hours, int &minutes, int &seconds)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    hours = now.wHour, minutes = now.wMinute, seconds = now.wSecond;
    return true;
}

std::int64_t Thread_cpu_ns()
{
    FILETIME created, ended, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user))
        return 0;
    const auto ticks = [](const FILETIME &t) { return (std::int64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return (ticks(kernel) + ticks(user)) * 100;
}

void Lower_thread_priority() { (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

const char *const *Phidget_library_names()
{
    static const char *const names[] = {"phidget21.dll", nullptr};
    return names;
}

} // namespace System_calls
