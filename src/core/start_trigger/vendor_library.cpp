#include "core/start_trigger/vendor_library.h"

#include "core/start_trigger/phidget21.h"

Vendor_library &Vendor_library::Fallback()
{
    static Phidget21_library installed;
    return installed;
}
