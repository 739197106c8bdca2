#include "core/platform/win32/win32_keep_awake.h"

#include "core/platform/win32/win32_api.h"

bool Win32_keep_display_on(bool on)
{
    // ES_CONTINUOUS makes the state last until changed, not just one idle period.
    const EXECUTION_STATE state = on ? ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED : ES_CONTINUOUS;
    return SetThreadExecutionState(state) != 0;
}
