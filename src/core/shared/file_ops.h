#pragma once
// The few system calls a settings write makes on an open file (core/platform/file_calls.h)
// for paths of ours. On Windows a descriptor is the C runtime's, over a handle opened to
// share reading, writing and deletion (a name may be renamed or removed while another
// writer has it open).

#include "core/platform/file_calls.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace File_ops {

enum class Access { Read, Read_write, Create_new };

// Opens a regular file, without waiting on a FIFO or device; -1 with error set.
int Open(const QString &path, Access access, int *error);
// Closes it, and gives up its lock.
inline void Close(int fd) { File_calls::Close(fd); }

using Status = File_calls::Status;
std::optional<Status> Status_of(int fd);
std::optional<Status> Status_of(const QString &path);
inline bool Same_file(const Status &a, const Status &b) { return a.device == b.device && a.file == b.file; }

inline bool Seek(int fd, qint64 at, int *error) { return File_calls::Seek(fd, at, error); }
// Reads at most most bytes at the file position: the count, 0 at the end, -1 with error set.
inline qint64 Read(int fd, char *data, qint64 most, int *error) { return File_calls::Read(fd, data, most, error); }
// All of bytes at offset at.
inline bool Write_at(int fd, qint64 at, QByteArrayView bytes, int *error)
{
    return File_calls::Write_at(fd, at, bytes.data(), bytes.size(), error);
}
inline bool Sync(int fd, int *error) { return File_calls::Sync(fd, error); }
inline bool Truncate(int fd, qint64 size) { return File_calls::Truncate(fd, size); }
// Gives a new file the permissions of the one it replaces, where a system has them.
inline void Keep_mode(int from, int to) { File_calls::Keep_mode(from, to); }

// An exclusive lock, advisory: it keeps out only those who lock the same way. Held
// elsewhere: false with EWOULDBLOCK.
inline bool Try_lock(int fd, int *error) { return File_calls::Try_lock(fd, File_calls::Lock::Exclusive, error); }

bool Remove(const QString &path);
// Renames from to to, in place of a file there.
bool Replace(const QString &from, const QString &to, int *error);
// Gives the file at existing a second name, new_name, which must not exist (EEXIST).
bool Link(const QString &existing, const QString &new_name, int *error);

} // namespace File_ops
