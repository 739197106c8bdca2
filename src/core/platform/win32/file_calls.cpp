#include "core/platform/file_calls.h"

#include "core/platform/win32/win32_api.h"

#include <aclapi.h>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <string>

namespace File_calls {

namespace {

// The lock is one byte far past any file's end: Windows' locks keep other handles
// from reading and writing what they cover, and the holder's own second handle must
// still read the file.
constexpr DWORD Lock_offset_high = 0x7FFFFFFF;

HANDLE Handle_of(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// Windows takes its own separators.
std::wstring Native(const System_path &path)
{
    std::wstring name;
    for (const char16_t *c = path.utf16; c && *c; ++c)
        name += *c == u'/' ? L'\\' : wchar_t(*c);
    return name;
}

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
    case ERROR_CANT_RESOLVE_FILENAME:
        return ELOOP;
    default:
        return EIO;
    }
}

bool Fail(int *error)
{
    if (error)
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

OVERLAPPED Lock_place() { return At(std::int64_t(std::uint64_t(Lock_offset_high) << 32)); }

Status From_info(const BY_HANDLE_FILE_INFORMATION &info)
{
    Status s;
    s.device = info.dwVolumeSerialNumber;
    s.file = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    s.links = info.nNumberOfLinks;
    s.size = std::int64_t((std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    return s;
}

DWORD Disposition(const Open_mode &mode)
{
    if (mode.must_be_new)
        return CREATE_NEW;
    if (mode.create)
        return mode.truncate ? CREATE_ALWAYS : OPEN_ALWAYS;
    return mode.truncate ? TRUNCATE_EXISTING : OPEN_EXISTING;
}

// The token's user, for telling the user's own folders.
bool Is_user(PSID sid)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    alignas(TOKEN_USER) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    const bool ok = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)
                    && EqualSid(reinterpret_cast<TOKEN_USER *>(buffer)->User.Sid, sid);
    CloseHandle(token);
    return ok;
}

// Those who may change any folder anyway: the system and the administrators.
bool Is_system_or_administrators(PSID sid)
{
    return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid)
           || IsWellKnownSid(sid, WinCreatorOwnerSid);
}

} // namespace

int Open(const System_path &path, const Open_mode &mode, int *error)
{
    DWORD wanted = mode.read ? GENERIC_READ : 0;
    if (mode.write)
        wanted |= GENERIC_WRITE;
    else if (mode.append)
        wanted |= FILE_GENERIC_WRITE & ~FILE_WRITE_DATA; // no right to write but at the end
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (mode.no_follow ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    const std::wstring name = Native(path);
    const HANDLE h = CreateFileW(name.c_str(), wanted, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, Disposition(mode), flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (error)
            *error = code == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES
                             && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                         ? EISDIR
                         : Error_number(code);
        return -1;
    }
    int failure = 0;
    BY_HANDLE_FILE_INFORMATION info{};
    // A device or pipe opens this way too, and is refused; a link opened as itself is
    // not followed.
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info))
        failure = EINVAL;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        failure = ELOOP;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        failure = EISDIR;
    int fd = -1;
    if (failure == 0) {
        const int how = (mode.read && (mode.write || mode.append)) ? _O_RDWR : mode.read ? _O_RDONLY : _O_WRONLY;
        fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), how | _O_BINARY | (mode.append ? _O_APPEND : 0));
        if (fd < 0)
            failure = EMFILE;
    }
    if (failure != 0) {
        CloseHandle(h);
        if (error)
            *error = failure;
    }
    return fd;
}

bool Close(int fd, int *error)
{
    // Closing frees a lock too, but only when Windows gets to it; explicitly, at once.
    OVERLAPPED o = Lock_place();
    UnlockFileEx(Handle_of(fd), 0, 1, 0, &o);
    if (_close(fd) == 0)
        return true;
    if (error)
        *error = errno;
    return false;
}

bool Status_of(int fd, Status *status)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(Handle_of(fd), &info))
        return false;
    *status = From_info(info);
    return true;
}

bool Status_of(const System_path &path, Status *status)
{
    // No access asked for: only the file's identity is read. Backup semantics open a folder too.
    const HANDLE h = CreateFileW(Native(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (ok)
        *status = From_info(info);
    return ok;
}

bool Seek(int fd, std::int64_t at, int *error)
{
    LARGE_INTEGER to{};
    to.QuadPart = at;
    return SetFilePointerEx(Handle_of(fd), to, nullptr, FILE_BEGIN) || Fail(error);
}

std::int64_t Read(int fd, char *data, std::int64_t most, int *error)
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

std::int64_t Append(int fd, const char *data, std::int64_t size, int *error)
{
    // This offset is Windows' "at the end", as one step: no other append comes between.
    OVERLAPPED end{};
    end.Offset = end.OffsetHigh = 0xFFFFFFFF;
    DWORD put = 0;
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : DWORD(size);
    if (WriteFile(Handle_of(fd), data, chunk, &put, &end))
        return put;
    Fail(error);
    return -1;
}

bool Write_at(int fd, std::int64_t at, const char *data, std::int64_t size, int *error)
{
    while (size > 0) {
        // The offset goes with each write: the file position is not used.
        OVERLAPPED o = At(at);
        DWORD put = 0;
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : DWORD(size);
        if (!WriteFile(Handle_of(fd), data, chunk, &put, &o))
            return Fail(error);
        if (put == 0) {
            if (error)
                *error = ENOSPC;
            return false;
        }
        data += put;
        size -= put;
        at += put;
    }
    return true;
}

bool Sync(int fd, int *error) { return FlushFileBuffers(Handle_of(fd)) || Fail(error); }

bool Truncate(int fd, std::int64_t size)
{
    LARGE_INTEGER to{};
    to.QuadPart = size;
    return SetFilePointerEx(Handle_of(fd), to, nullptr, FILE_BEGIN) && SetEndOfFile(Handle_of(fd));
}

void Keep_mode(int, int) {} // a new file takes the folder's permissions, as the old one did

bool Try_lock(int fd, Lock how, int *error)
{
    OVERLAPPED o = Lock_place();
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (how == Lock::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    return LockFileEx(Handle_of(fd), flags, 0, 1, 0, &o) || Fail(error);
}

bool Lock_file_held(const System_path &path)
{
    // The holder keeps the file open without leave to delete it for as long as it lives.
    const HANDLE h = CreateFileW(Native(path).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

bool Remove(const System_path &path) { return DeleteFileW(Native(path).c_str()) != 0; }

bool Replace(const System_path &from, const System_path &to, int *error)
{
    return MoveFileExW(Native(from).c_str(), Native(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
           || Fail(error);
}

bool Link(const System_path &existing, const System_path &new_name, int *error)
{
    return CreateHardLinkW(Native(new_name).c_str(), Native(existing).c_str(), nullptr) || Fail(error);
}

// NTFS journals its folders' changes itself; a folder handle takes no flush.
void Sync_folder(const System_path &) {}

bool Own_folder(const System_path &folder, bool private_only)
{
    const std::wstring name = Native(folder);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    // A junction or link could lead anywhere: not a folder of the user's own.
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)
        || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    PSID owner = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(name.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &acl, nullptr, &descriptor)
        != ERROR_SUCCESS)
        return false;
    // No list at all lets everyone in.
    bool own = owner && Is_user(owner) && acl;
    const DWORD changes = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER
                          | GENERIC_WRITE | GENERIC_ALL;
    const DWORD entering = changes | FILE_LIST_DIRECTORY | FILE_TRAVERSE | GENERIC_READ | GENERIC_EXECUTE;
    for (DWORD i = 0; own && i < acl->AceCount; ++i) {
        void *entry = nullptr;
        if (!GetAce(acl, i, &entry))
            own = false;
        else if (static_cast<ACE_HEADER *>(entry)->AceType == ACCESS_ALLOWED_ACE_TYPE
                 && !(static_cast<ACE_HEADER *>(entry)->AceFlags & INHERIT_ONLY_ACE)) { // only for what is made inside
            const auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(entry);
            PSID who = const_cast<DWORD *>(&allowed->SidStart);
            if (!Is_user(who) && !Is_system_or_administrators(who)
                && (allowed->Mask & (private_only ? entering : changes)))
                own = false;
        }
    }
    LocalFree(descriptor);
    return own;
}

} // namespace File_calls
