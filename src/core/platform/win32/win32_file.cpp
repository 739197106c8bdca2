#include "core/platform/win32/win32_file.h"

#include "core/platform/win32/win32_api.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>

namespace {

// The lock is one byte far past any settings file's end: Windows' locks keep other
// handles from reading and writing what they cover, and the writer's own second
// handle must still read the file.
constexpr DWORD Lock_offset_high = 0x7FFFFFFF;

HANDLE Handle_of(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

int Error_number(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_LOCK_VIOLATION:
        return EWOULDBLOCK;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        return EOPNOTSUPP; // a file system without hard links
    case ERROR_TOO_MANY_LINKS:
        return EMLINK;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

bool Fail(int *error)
{
    *error = Error_number(GetLastError());
    return false;
}

OVERLAPPED At(std::int64_t offset)
{
    OVERLAPPED o{};
    o.Offset = DWORD(std::uint64_t(offset) & 0xFFFFFFFFu);
    o.OffsetHigh = DWORD(std::uint64_t(offset) >> 32);
    return o;
}

Win32_file_status From_info(const BY_HANDLE_FILE_INFORMATION &info)
{
    Win32_file_status s;
    s.volume = info.dwVolumeSerialNumber;
    s.file = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    s.links = info.nNumberOfLinks;
    s.size = std::int64_t((std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    return s;
}

} // namespace

int Win32_open_file(const wchar_t *path, Win32_access access, int *error)
{
    const DWORD wanted = access == Win32_access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD how = access == Win32_access::Create_new ? CREATE_NEW : OPEN_EXISTING;
    const HANDLE h = CreateFileW(path, wanted, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 how, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Fail(error);
        return -1;
    }
    // A folder does not open this way; a device or pipe does, and is refused.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        *error = EINVAL;
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), access == Win32_access::Read ? _O_RDONLY : _O_RDWR);
    if (fd < 0) {
        CloseHandle(h);
        *error = EMFILE;
    }
    return fd;
}

void Win32_close_file(int fd)
{
    // Closing frees a lock too, but only when Windows gets to it; explicitly, at once.
    OVERLAPPED o = At(std::int64_t(std::uint64_t(Lock_offset_high) << 32));
    UnlockFileEx(Handle_of(fd), 0, 1, 0, &o);
    _close(fd);
}

bool Win32_file_status_of(int fd, Win32_file_status *status)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(Handle_of(fd), &info))
        return false;
    *status = From_info(info);
    return true;
}

bool Win32_file_status_of(const wchar_t *path, Win32_file_status *status)
{
    // No access asked for: only the file's identity is read. Backup semantics open a folder too.
    const HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (ok)
        *status = From_info(info);
    return ok;
}

bool Win32_seek(int fd, std::int64_t at, int *error)
{
    LARGE_INTEGER to{};
    to.QuadPart = at;
    return SetFilePointerEx(Handle_of(fd), to, nullptr, FILE_BEGIN) || Fail(error);
}

std::int64_t Win32_read(int fd, char *data, std::int64_t most, int *error)
{
    DWORD got = 0;
    const DWORD want = most > 0x40000000 ? 0x40000000 : DWORD(most);
    if (ReadFile(Handle_of(fd), data, want, &got, nullptr))
        return got;
    if (GetLastError() == ERROR_HANDLE_EOF)
        return 0;
    Fail(error);
    return -1;
}

bool Win32_write_at(int fd, std::int64_t at, const char *data, std::int64_t size, int *error)
{
    while (size > 0) {
        // The offset goes with each write: the file position is not used.
        OVERLAPPED o = At(at);
        DWORD put = 0;
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : DWORD(size);
        if (!WriteFile(Handle_of(fd), data, chunk, &put, &o))
            return Fail(error);
        if (put == 0) {
            *error = ENOSPC;
            return false;
        }
        data += put;
        size -= put;
        at += put;
    }
    return true;
}

bool Win32_sync(int fd, int *error) { return FlushFileBuffers(Handle_of(fd)) || Fail(error); }

bool Win32_truncate(int fd, std::int64_t size)
{
    LARGE_INTEGER to{};
    to.QuadPart = size;
    return SetFilePointerEx(Handle_of(fd), to, nullptr, FILE_BEGIN) && SetEndOfFile(Handle_of(fd));
}

bool Win32_try_lock(int fd, int *error)
{
    OVERLAPPED o = At(std::int64_t(std::uint64_t(Lock_offset_high) << 32));
    return LockFileEx(Handle_of(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &o)
           || Fail(error);
}

bool Win32_remove(const wchar_t *path) { return DeleteFileW(path) != 0; }

bool Win32_replace(const wchar_t *from, const wchar_t *to, int *error)
{
    return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) || Fail(error);
}

bool Win32_link(const wchar_t *existing, const wchar_t *new_name, int *error)
{
    return CreateHardLinkW(new_name, existing, nullptr) || Fail(error);
}
