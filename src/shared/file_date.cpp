#include "shared/non_dependant.h"

// Filled in with the error-report window, which receives its failures.
QString FileDate()
{
    return {};
}
