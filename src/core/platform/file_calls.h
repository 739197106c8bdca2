#pragma once
// The file calls of one system (platform/posix/, platform/win32/), the same on every
// system: C runtime descriptors, and errors as the C library's error numbers. Plain C++.

#include "core/platform/system_path.h"

#include <cstdint>

namespace File_calls {

struct Open_mode
{
    bool read = true;
    bool write = false;
    bool create = false;      // made when missing
    bool must_be_new = false; // EEXIST when there
    bool append = false;      // for Append; without write, nothing else may be written
    bool truncate = false;
    bool no_follow = false; // a symbolic link (or other reparse point) as the name: ELOOP
};

// Opens a regular file without waiting on a FIFO or device: the descriptor, or -1 with
// error set (EISDIR for a folder, EINVAL for anything else that is no regular file).
// A new file is readable and writable for whom the system's defaults allow.
int Open(const System_path &path, const Open_mode &mode, int *error);
// Closes it and gives up its lock; false with error set when the system reports a
// late failure (a network file system may tell only then that the disk is full).
bool Close(int fd, int *error = nullptr);

struct Status
{
    std::uint64_t device = 0;
    std::uint64_t file = 0; // with device, tells one file from another
    std::uint64_t links = 0;
    std::int64_t size = 0;
};
bool Status_of(int fd, Status *status);
bool Status_of(const System_path &path, Status *status);

bool Seek(int fd, std::int64_t at, int *error);
// Reads at most most bytes at the file position: the count, 0 at the end, -1 with error set.
std::int64_t Read(int fd, char *data, std::int64_t most, int *error);
// Writes some of the bytes at the file's end, in one piece with no other writer's bytes
// between them (opened to append): the count, -1 with error set; 0 for nothing written,
// which the caller takes as a full disk.
std::int64_t Append(int fd, const char *data, std::int64_t size, int *error);
// All of the bytes at offset at, without moving the file position.
bool Write_at(int fd, std::int64_t at, const char *data, std::int64_t size, int *error);
// What was written is on the disk, not only in the system's cache.
bool Sync(int fd, int *error);
bool Truncate(int fd, std::int64_t size);
// Gives a new file the permissions of the one it replaces, where a system has them.
void Keep_mode(int from, int to);

// An advisory lock, without waiting: it keeps out only those who lock the same way.
// Held elsewhere: false with EWOULDBLOCK.
enum class Lock { Shared, Exclusive };
bool Try_lock(int fd, Lock how, int *error);

// Whether a live process holds the lock file at path as Qt's lock file does on this
// system: unreadable or missing, it is held by none.
bool Lock_file_held(const System_path &path);

bool Remove(const System_path &path);
// Renames from to to, in place of a file there.
bool Replace(const System_path &from, const System_path &to, int *error);
// Gives the file at existing a second name, new_name, which must not exist (EEXIST).
bool Link(const System_path &existing, const System_path &new_name, int *error);
// A new name in the folder survives a power cut, where the system needs to be told.
void Sync_folder(const System_path &folder);

// A folder the user owns that no other user may write to (with private_only: that no
// other user may enter either): another could plant a lock, a FIFO or a link there.
bool Own_folder(const System_path &folder, bool private_only);

} // namespace File_calls
