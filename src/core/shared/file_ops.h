#pragma once
// The few system calls a settings write makes on an open file, the same on every
// system: descriptors, errors as the C library's error numbers. On Windows a
// descriptor is the C runtime's, over a handle opened to share reading, writing and
// deletion (a name may be renamed or removed while another writer has it open).

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace File_ops {

enum class Access { Read, Read_write, Create_new };

// Opens a regular file, without waiting on a FIFO or device; -1 with error set.
int Open(const QString &path, Access access, int *error);
// Closes it, and gives up its lock.
void Close(int fd);

struct Status
{
    quint64 device = 0;
    quint64 file = 0; // with device, tells one file from another
    quint64 links = 0;
    qint64 size = 0;
};
std::optional<Status> Status_of(int fd);
std::optional<Status> Status_of(const QString &path);
inline bool Same_file(const Status &a, const Status &b) { return a.device == b.device && a.file == b.file; }

bool Seek(int fd, qint64 at, int *error);
// Reads at most most bytes at the file position: the count, 0 at the end, -1 with error set.
qint64 Read(int fd, char *data, qint64 most, int *error);
// All of bytes at offset at.
bool Write_at(int fd, qint64 at, QByteArrayView bytes, int *error);
bool Sync(int fd, int *error);
bool Truncate(int fd, qint64 size);
// Gives a new file the permissions of the one it replaces, where a system has them.
void Keep_mode(int from, int to);

// An exclusive lock, advisory: it keeps out only those who lock the same way. Held
// elsewhere: false with EWOULDBLOCK.
bool Try_lock(int fd, int *error);

bool Remove(const QString &path);
// Renames from to to, in place of a file there.
bool Replace(const QString &from, const QString &to, int *error);
// Gives the file at existing a second name, new_name, which must not exist (EEXIST).
bool Link(const QString &existing, const QString &new_name, int *error);

} // namespace File_ops
