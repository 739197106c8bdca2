#!/usr/bin/env bash
# What of the Windows build can be checked here, with Debian's MinGW-w64 tools (there is
# no Windows Qt to build the client with; the docs/windows.md lists the rest):
#  1. resources/velantra-remote.rc compiles, and what it compiles to holds the icon and
#     the version block of the project's version;
#  2. the Win32 side of the platform seam (src/core/platform/win32/, Qt-free: the file
#     calls of the settings write, the journal and the logs, the socket calls of the
#     message writer, the system's small calls, the sound, the keyboard and the display) compiles
#     with warnings as errors, and a program that calls every function links against
#     Windows' own libraries;
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
#include "core/platform/file_calls.h"
#include "core/platform/socket_calls.h"
#include "core/platform/system_calls.h"
#include "core/platform/win32/win32_keep_awake.h"
#include "core/platform/win32/win32_keyboard.h"
#include "core/platform/win32/win32_sound.h"
#include <cerrno>
// Every call of the seam, in the order the client makes them (never run here).
static System_path Path(const char16_t *name) { return {"", name}; }
// A settings write: a new locked file beside the old, written, synced and put in place.
static bool Write_settings()
{
    int error = 0;
    File_calls::Status status;
    File_calls::Open_mode mode;
    mode.write = true;
    mode.must_be_new = true;
    char byte = 0;
    const System_path temporary = Path(u"settings.ini.writing-AAAAAA"), settings = Path(u"settings.ini");
    const int fd = File_calls::Open(temporary, mode, &error);
    const bool ok = fd >= 0 && File_calls::Try_lock(fd, File_calls::Lock::Exclusive, &error)
                    && File_calls::Status_of(fd, &status) && File_calls::Write_at(fd, 0, "x", 1, &error)
                    && File_calls::Seek(fd, 0, &error) && File_calls::Read(fd, &byte, 1, &error) == 1
                    && File_calls::Truncate(fd, 1) && File_calls::Sync(fd, &error)
                    && File_calls::Status_of(temporary, &status)
                    && (File_calls::Link(temporary, settings, &error) || File_calls::Replace(temporary, settings, &error));
    if (fd >= 0)
        File_calls::Keep_mode(fd, fd), File_calls::Close(fd, &error);
    return File_calls::Remove(temporary) && ok;
}
// A journal: its own folder, a file appended to, not followed through a link, locked and synced.
static bool Append_journal()
{
    int error = 0;
    File_calls::Open_mode mode;
    mode.append = true;
    mode.create = true;
    mode.no_follow = true;
    if (!File_calls::Own_folder(Path(u"C:/Users/official/AppData/Local"), false))
        return false;
    const int fd = File_calls::Open(Path(u"journal.txt"), mode, &error);
    const bool ok = fd >= 0 && File_calls::Try_lock(fd, File_calls::Lock::Exclusive, &error)
                    && File_calls::Append(fd, "line\n", 5, &error) == 5 && File_calls::Sync(fd, &error);
    File_calls::Sync_folder(Path(u"."));
    return ok && File_calls::Close(fd, &error) && !File_calls::Lock_file_held(Path(u"Velantra_remote.lock"));
}
// The message writer on a connected socket.
static bool Send_start(Socket_calls::Socket socket)
{
    int error = 0;
    const Socket_calls::Socket own = Socket_calls::Duplicate(socket);
    const bool ok = Socket_calls::Limit_dead_link(socket, 3, 1, 3, 5000)
                    && Socket_calls::Send(own, "start\r\n", 7, &error) == 7 && !Socket_calls::Was_reset(own)
                    && Socket_calls::Unacknowledged_bytes(own) <= 0;
    Socket_calls::Discard_unsent_on_close(own);
    Socket_calls::Close(own);
    return ok;
}
int main()
{
    const bool system = System_calls::Uptime_ms() != 0 && !System_calls::Local_data_folder().utf16.empty()
                        && *System_calls::Phidget_library_names() != nullptr && System_calls::Thread_cpu_ns() >= 0;
    int hours = 0, minutes = 0, seconds = 0;
    const bool clock = System_calls::Local_clock(hours, minutes, seconds);
    System_calls::Keep_running_at_file_size_limit();
    System_calls::Lower_thread_priority();
    return system && clock && Win32_keep_display_on(true) && Win32_press_shift() && Win32_keep_display_on(false)
                   && Write_settings() && Append_journal() && Send_start(0)
                   && Win32_play_pcm("\x80\x80", 2, 1, 8000, 8, false) && !Win32_sound_playing()
               ? 0
               : 1;
}
CALLS
"$cxx" "${cxxflags[@]}" -Isrc -mwindows -o "$out/calls.exe" "$out/calls.cpp" "${win32_sources[@]}" \
  -lws2_32 -ladvapi32 -lshell32 -lole32 -luuid -lwinmm
echo "check-windows: ${#win32_sources[@]} Win32 source(s) compile, and a program calling each of their functions links"

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
