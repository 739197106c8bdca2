#pragma once
// A settings write's system calls on Windows. Qt-free (see win32_keyboard.h): paths
// are UTF-16 with Windows' separators, files are C runtime descriptors, and errors
// the C library's error numbers, as on other systems.

#include <cstdint>

enum class Win32_access { Read, Read_write, Create_new };

// A regular file (no device, pipe or folder), opened to share reading, writing and
// deletion; the descriptor, or -1 with error set.
int Win32_open_file(const wchar_t *path, Win32_access access, int *error);
// Gives up the file's lock, if any, and closes it.
void Win32_close_file(int fd);

struct Win32_file_status
{
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t links = 0;
    std::int64_t size = 0;
};
bool Win32_file_status_of(int fd, Win32_file_status *status);
bool Win32_file_status_of(const wchar_t *path, Win32_file_status *status);

bool Win32_seek(int fd, std::int64_t at, int *error);
std::int64_t Win32_read(int fd, char *data, std::int64_t most, int *error);
bool Win32_write_at(int fd, std::int64_t at, const char *data, std::int64_t size, int *error);
bool Win32_sync(int fd, int *error);
bool Win32_truncate(int fd, std::int64_t size);
// Exclusive, without waiting; held elsewhere: false with EWOULDBLOCK.
bool Win32_try_lock(int fd, int *error);
bool Win32_remove(const wchar_t *path);
bool Win32_replace(const wchar_t *from, const wchar_t *to, int *error);
// A second name; one that exists is never overwritten (EEXIST).
bool Win32_link(const wchar_t *existing, const wchar_t *new_name, int *error);
