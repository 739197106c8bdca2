#!/usr/bin/env bash
# What of the Windows build can be checked here, with Debian's MinGW-w64 tools (there is
# no Windows Qt to build the client with; the README's Windows section lists the rest):
#  1. resources/velantra-remote.rc compiles, and what it compiles to holds the icon and
#     the version block of the project's version;
#  2. the Win32 calls of the facilities (the sound among them), the settings write and
#     the socket options (src/core/platform/win32/, Qt-free) compile with warnings as
#     errors and link against Windows' own libraries;
#  3. the stand-in phidget21 library builds as a DLL that exports, under their plain
#     names, every function the client looks up in the real one.
# Nothing here runs: Wine would only show that these few calls start, not what Windows does.
set -euo pipefail
cd "$(dirname "$0")/.."

target=x86_64-w64-mingw32
cxx="$target-g++-posix" # the POSIX thread model: the stand-in library uses std::thread
cxxflags=(-std=c++17 -Wall -Wextra -Wpedantic -Werror -O1)
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
fail() { echo "check-windows: $*" >&2; exit 1; }

# 1. The resources, compiled and read back as the resource compiler sees them.
"$target-windres" -i resources/velantra-remote.rc -O res -o "$out/velantra-remote.res"
"$target-windres" -i "$out/velantra-remote.res" -J res -O rc > "$out/compiled.rc"
version="$(sed -n 's/^project(VelantraRemote VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || fail "no project version in CMakeLists.txt"
grep -q "^ FILEVERSION ${version//./, }\$" "$out/compiled.rc" || fail "the file version is not $version"
grep -q "^ PRODUCTVERSION ${version//./, }\$" "$out/compiled.rc" || fail "the product version is not $version"
for name in CompanyName FileVersion InternalName ProductName ProductVersion; do
  grep -q "VALUE \"$name\", \"[^\"]" "$out/compiled.rc" || fail "the version block has no $name"
done
grep -q "RT_GROUP_ICON" "$out/compiled.rc" || fail "no program icon"
echo "check-windows: resources/velantra-remote.rc compiles: icon and version block $version"

# 2. The Win32 pieces, and a program that calls each, linked as the client would be.
win32_sources=(src/core/platform/win32/*.cpp)
cat > "$out/calls.cpp" <<'CALLS'
#include "core/platform/win32/win32_file.h"
#include "core/platform/win32/win32_keep_awake.h"
#include "core/platform/win32/win32_keyboard.h"
#include "core/platform/win32/win32_socket.h"
#include "core/platform/win32/win32_sound.h"
// A settings write's calls in the order the client makes them (never run here).
static bool Write_file()
{
    int error = 0;
    Win32_file_status status;
    char byte = 0;
    const int fd = Win32_open_file(L"settings.ini.writing-AAAAAA", Win32_access::Create_new, &error);
    const bool ok = fd >= 0 && Win32_try_lock(fd, &error) && Win32_file_status_of(fd, &status)
                    && Win32_write_at(fd, 0, "x", 1, &error) && Win32_seek(fd, 0, &error)
                    && Win32_read(fd, &byte, 1, &error) == 1 && Win32_truncate(fd, 1) && Win32_sync(fd, &error)
                    && Win32_file_status_of(L"settings.ini.writing-AAAAAA", &status)
                    && (Win32_link(L"settings.ini.writing-AAAAAA", L"settings.ini", &error)
                        || Win32_replace(L"settings.ini.writing-AAAAAA", L"settings.ini", &error));
    if (fd >= 0)
        Win32_close_file(fd);
    return Win32_remove(L"settings.ini.writing-AAAAAA") && ok;
}
int main()
{
    return Win32_keep_display_on(true) && Win32_press_shift() && Win32_keep_display_on(false) && Write_file()
                   && Win32_limit_dead_link(0, 3000, 1000, 5)
                   && Win32_play_pcm("\x80\x80", 2, 1, 8000, 8, false) && !Win32_sound_playing()
               ? 0
               : 1;
}
CALLS
"$cxx" "${cxxflags[@]}" -Isrc -mwindows -o "$out/calls.exe" "$out/calls.cpp" "${win32_sources[@]}" -lws2_32 -lwinmm
echo "check-windows: ${#win32_sources[@]} Win32 source(s) compile and link"

# 3. The stand-in library's exports against the names the client resolves.
"$cxx" "${cxxflags[@]}" -shared -static-libgcc -static-libstdc++ -o "$out/phidget21.dll" \
  tests/fake_phidget21/fake_phidget21.cpp
"$target-objdump" -p "$out/phidget21.dll" \
  | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '{print $NF}' > "$out/exports"
mapfile -t wanted < <(grep -o 'Resolve(library, "[A-Za-z_]*"' src/core/start_trigger/phidget21.cpp | cut -d'"' -f2)
[ ${#wanted[@]} -gt 0 ] || fail "found no looked-up names in src/core/start_trigger/phidget21.cpp"
for name in "${wanted[@]}"; do
  grep -qx "$name" "$out/exports" || fail "phidget21.dll does not export $name"
done
echo "check-windows: the stand-in phidget21.dll exports all ${#wanted[@]} functions the client looks up"
