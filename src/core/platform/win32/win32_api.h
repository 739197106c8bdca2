#pragma once
// <windows.h> without its min/max macros (they break std::min and Qt) and without
// the rarely used parts, for the files of this folder.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
