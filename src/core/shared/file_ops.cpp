#include "core/shared/file_ops.h"

#include <QFile>
#include <QtGlobal>

#include <cerrno>

#ifdef Q_OS_WIN
#include "core/platform/win32/win32_file.h"
#include <QDir>
#else
#include "core/shared/regular_file.h"
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace File_ops {

#ifndef Q_OS_WIN

int Open(const QString &path, Access access, int *error)
{
    const int flags = access == Access::Read ? O_RDONLY : access == Access::Read_write ? O_RDWR : O_RDWR | O_CREAT | O_EXCL;
    return Regular_file::Open_descriptor(path, flags, error);
}

void Close(int fd) { ::close(fd); }

namespace {
Status From_stat(const struct stat &st)
{
    Status s;
    s.device = quint64(st.st_dev);
    s.file = quint64(st.st_ino);
    s.links = quint64(st.st_nlink);
    s.size = qint64(st.st_size);
    return s;
}
} // namespace

std::optional<Status> Status_of(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return From_stat(st);
}

std::optional<Status> Status_of(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return From_stat(st);
}

bool Seek(int fd, qint64 at, int *error)
{
    if (::lseek(fd, off_t(at), SEEK_SET) >= 0)
        return true;
    *error = errno;
    return false;
}

qint64 Read(int fd, char *data, qint64 most, int *error)
{
    for (;;) {
        const ssize_t got = ::read(fd, data, size_t(most));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            *error = errno;
            return -1;
        }
    }
}

bool Write_at(int fd, qint64 at, QByteArrayView bytes, int *error)
{
    while (!bytes.isEmpty()) {
        const ssize_t put = ::pwrite(fd, bytes.data(), size_t(bytes.size()), off_t(at));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            *error = put == 0 ? ENOSPC : errno;
            return false;
        }
        bytes = bytes.sliced(put);
        at += put;
    }
    return true;
}

bool Sync(int fd, int *error)
{
    if (::fdatasync(fd) == 0)
        return true;
    *error = errno;
    return false;
}

bool Truncate(int fd, qint64 size) { return ::ftruncate(fd, off_t(size)) == 0; }

void Keep_mode(int from, int to)
{
    struct stat st {};
    if (::fstat(from, &st) == 0)
        (void)::fchmod(to, st.st_mode & 07777);
}

bool Try_lock(int fd, int *error)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    *error = errno;
    return false;
}

bool Remove(const QString &path) { return ::unlink(QFile::encodeName(path).constData()) == 0; }

bool Replace(const QString &from, const QString &to, int *error)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = errno;
    return false;
}

bool Link(const QString &existing, const QString &new_name, int *error)
{
    if (::link(QFile::encodeName(existing).constData(), QFile::encodeName(new_name).constData()) == 0)
        return true;
    *error = errno;
    return false;
}

#else

namespace {
// Windows takes its own separators and UTF-16, which a QString already is.
const wchar_t *Native(const QString &path)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16");
    return reinterpret_cast<const wchar_t *>(path.utf16());
}

std::optional<Status> From_win32(bool ok, const Win32_file_status &w)
{
    if (!ok)
        return std::nullopt;
    Status s;
    s.device = w.volume;
    s.file = w.file;
    s.links = w.links;
    s.size = w.size;
    return s;
}
} // namespace

int Open(const QString &path, Access access, int *error)
{
    const Win32_access a = access == Access::Read ? Win32_access::Read
                           : access == Access::Read_write ? Win32_access::Read_write
                                                          : Win32_access::Create_new;
    return Win32_open_file(Native(QDir::toNativeSeparators(path)), a, error);
}

void Close(int fd) { Win32_close_file(fd); }

std::optional<Status> Status_of(int fd)
{
    Win32_file_status w;
    const bool ok = Win32_file_status_of(fd, &w);
    return From_win32(ok, w);
}

std::optional<Status> Status_of(const QString &path)
{
    Win32_file_status w;
    const bool ok = Win32_file_status_of(Native(QDir::toNativeSeparators(path)), &w);
    return From_win32(ok, w);
}

bool Seek(int fd, qint64 at, int *error) { return Win32_seek(fd, at, error); }
qint64 Read(int fd, char *data, qint64 most, int *error) { return Win32_read(fd, data, most, error); }
bool Write_at(int fd, qint64 at, QByteArrayView bytes, int *error)
{
    return Win32_write_at(fd, at, bytes.data(), bytes.size(), error);
}
bool Sync(int fd, int *error) { return Win32_sync(fd, error); }
bool Truncate(int fd, qint64 size) { return Win32_truncate(fd, size); }
void Keep_mode(int, int) {} // a new file takes the folder's permissions, as the old one did
bool Try_lock(int fd, int *error) { return Win32_try_lock(fd, error); }
bool Remove(const QString &path) { return Win32_remove(Native(QDir::toNativeSeparators(path))); }

bool Replace(const QString &from, const QString &to, int *error)
{
    return Win32_replace(Native(QDir::toNativeSeparators(from)), Native(QDir::toNativeSeparators(to)), error);
}

bool Link(const QString &existing, const QString &new_name, int *error)
{
    return Win32_link(Native(QDir::toNativeSeparators(existing)), Native(QDir::toNativeSeparators(new_name)), error);
}

#endif

} // namespace File_ops
