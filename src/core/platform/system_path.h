#pragma once
// A file name as the calls of this folder take it. Each system reads its own form: the
// file system's bytes on POSIX, UTF-16 on Windows; the caller gives both
// (core/shared/native_path.h), so no caller has to know which system it runs on.

#include <string>

struct System_path
{
    const char *bytes = nullptr;
    const char16_t *utf16 = nullptr;
};

// A file name a system gives back, in the same two forms; only the system's own is set.
struct System_text
{
    std::string bytes;
    std::u16string utf16;
};
