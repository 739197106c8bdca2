#include "core/shared/file_append.h"

#include "core/shared/regular_file.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// The C runtime's low-level calls on Windows set errno as POSIX does.
#ifdef Q_OS_WIN
int Open_appending(const QString &path)
{
    return ::_wopen(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                    _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}
qint64 Size_of(int fd)
{
    struct _stat64 status;
    return ::_fstat64(fd, &status) == 0 ? qint64(status.st_size) : -1;
}
qint64 Write_some(int fd, const char *data, qint64 size)
{
    return ::_write(fd, data, unsigned(qMin<qint64>(size, 1 << 30)));
}
void Cut_to(int fd, qint64 size) { (void)::_chsize_s(fd, size); }
int Close(int fd) { return ::_close(fd); }
#else
// Only a regular file: a FIFO or a device where the log should be is refused at once.
int Open_appending(const QString &path)
{
    int error = 0;
    const int fd = Regular_file::Open_descriptor(path, O_WRONLY | O_APPEND | O_CREAT, &error);
    errno = error;
    return fd;
}
qint64 Size_of(int fd)
{
    struct stat status;
    return ::fstat(fd, &status) == 0 ? qint64(status.st_size) : -1;
}
qint64 Write_some(int fd, const char *data, qint64 size) { return ::write(fd, data, size_t(size)); }
void Cut_to(int fd, qint64 size) { (void)!::ftruncate(fd, off_t(size)); }
int Close(int fd) { return ::close(fd); }
#endif

} // namespace

Append_failure Append_whole(const QString &path, const QByteArray &bytes)
{
    const int fd = Open_appending(path);
    if (fd < 0)
        return {errno, true};
    const qint64 old_size = Size_of(fd);
    int error = old_size < 0 ? errno : 0;
    for (qint64 done = 0; !error && done < bytes.size();) {
        const qint64 written = Write_some(fd, bytes.constData() + done, bytes.size() - done);
        if (written > 0)
            done += written;
        else if (written == 0)
            error = EIO;
        else if (errno != EINTR)
            error = errno;
    }
    if (error && old_size >= 0)
        Cut_to(fd, old_size);
    if (Close(fd) != 0 && !error)
        error = errno; // a network file system may tell only now that the disk is full
    return {error, false};
}
