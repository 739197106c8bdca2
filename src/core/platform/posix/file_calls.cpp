#include "core/platform/file_calls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace File_calls {

namespace {

bool Fail(int *error)
{
    if (error)
        *error = errno;
    return false;
}

Status From_stat(const struct stat &st)
{
    Status s;
    s.device = std::uint64_t(st.st_dev);
    s.file = std::uint64_t(st.st_ino);
    s.links = std::uint64_t(st.st_nlink);
    s.size = std::int64_t(st.st_size);
    return s;
}

} // namespace

int Open(const System_path &path, const Open_mode &mode, int *error)
{
    const bool writes = mode.write || mode.append;
    int flags = mode.read && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    if (mode.create)
        flags |= O_CREAT;
    if (mode.must_be_new)
        flags |= O_CREAT | O_EXCL;
    if (mode.append)
        flags |= O_APPEND;
    if (mode.truncate)
        flags |= O_TRUNC;
    if (mode.no_follow)
        flags |= O_NOFOLLOW;
    // O_NONBLOCK: opening a FIFO with no writer, or some devices, would wait for ever.
    const int fd = ::open(path.bytes, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    int failure = fd < 0 ? errno : 0;
    if (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            failure = errno;
        else if (!S_ISREG(st.st_mode))
            failure = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        // Back to ordinary reads and writes: they wait for the disk as they should.
        else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
            failure = errno;
        if (failure != 0)
            ::close(fd);
    }
    if (failure != 0 && error)
        *error = failure;
    return failure != 0 ? -1 : fd;
}

bool Close(int fd, int *error) { return ::close(fd) == 0 || Fail(error); }

bool Status_of(int fd, Status *status)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    *status = From_stat(st);
    return true;
}

bool Status_of(const System_path &path, Status *status)
{
    struct stat st {};
    if (::stat(path.bytes, &st) != 0)
        return false;
    *status = From_stat(st);
    return true;
}

bool Seek(int fd, std::int64_t at, int *error) { return ::lseek(fd, off_t(at), SEEK_SET) >= 0 || Fail(error); }

std::int64_t Read(int fd, char *data, std::int64_t most, int *error)
{
    for (;;) {
        const ssize_t got = ::read(fd, data, size_t(most));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            Fail(error);
            return -1;
        }
    }
}

std::int64_t Append(int fd, const char *data, std::int64_t size, int *error)
{
    for (;;) {
        const ssize_t put = ::write(fd, data, size_t(size));
        if (put >= 0)
            return put;
        if (errno != EINTR) {
            Fail(error);
            return -1;
        }
    }
}

bool Write_at(int fd, std::int64_t at, const char *data, std::int64_t size, int *error)
{
    while (size > 0) {
        const ssize_t put = ::pwrite(fd, data, size_t(size), off_t(at));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = ENOSPC;
            return Fail(error);
        }
        data += put;
        size -= put;
        at += put;
    }
    return true;
}

bool Sync(int fd, int *error)
{
#if defined(__APPLE__)
    return ::fsync(fd) == 0 || Fail(error); // no fdatasync there
#else
    return ::fdatasync(fd) == 0 || Fail(error);
#endif
}

bool Truncate(int fd, std::int64_t size) { return ::ftruncate(fd, off_t(size)) == 0; }

void Keep_mode(int from, int to)
{
    struct stat st {};
    if (::fstat(from, &st) == 0)
        (void)::fchmod(to, st.st_mode & 07777);
}

bool Try_lock(int fd, Lock how, int *error)
{
    return ::flock(fd, (how == Lock::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0 || Fail(error);
}

bool Lock_file_held(const System_path &path)
{
    // The holder keeps an exclusive flock on the file for as long as it lives, and the
    // system drops it when the holder dies, however it dies.
    const int fd = Open(path, Open_mode{}, nullptr);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

bool Remove(const System_path &path) { return ::unlink(path.bytes) == 0; }

bool Replace(const System_path &from, const System_path &to, int *error)
{
    return ::rename(from.bytes, to.bytes) == 0 || Fail(error);
}

bool Link(const System_path &existing, const System_path &new_name, int *error)
{
    return ::link(existing.bytes, new_name.bytes) == 0 || Fail(error);
}

void Sync_folder(const System_path &folder)
{
    const int fd = ::open(folder.bytes, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool Own_folder(const System_path &folder, bool private_only)
{
    struct stat st {};
    if (::stat(folder.bytes, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return private_only ? (st.st_mode & 0777) == 0700 : (st.st_mode & 0022) == 0;
}

} // namespace File_calls
