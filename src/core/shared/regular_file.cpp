#include "core/shared/regular_file.h"

#include <QFileInfo>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Regular_file {

#ifdef Q_OS_UNIX

int Open_descriptor(const QString &path, int flags, int *error)
{
    // O_NONBLOCK: opening a FIFO with no writer, or some devices, would wait for ever.
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
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

bool Open(QFile &file, QIODevice::OpenMode mode, int *error)
{
    if (mode & QIODevice::Append)
        mode |= QIODevice::WriteOnly;
    const bool reads = mode & QIODevice::ReadOnly, writes = mode & QIODevice::WriteOnly;
    int flags = reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    if (writes && !(mode & QIODevice::ExistingOnly))
        flags |= O_CREAT;
    if (mode & QIODevice::NewOnly)
        flags |= O_CREAT | O_EXCL;
    if (mode & QIODevice::Append)
        flags |= O_APPEND;
    // As QFile: writing alone, and neither appending nor making a new file, empties it.
    if ((mode & QIODevice::Truncate)
        || (writes && !reads && !(mode & (QIODevice::Append | QIODevice::NewOnly))))
        flags |= O_TRUNC;
    int failure = 0;
    const int fd = Open_descriptor(file.fileName(), flags, &failure);
    if (fd >= 0 && file.open(fd, mode, QFileDevice::AutoCloseHandle))
        return true;
    if (fd >= 0) {
        failure = EIO;
        ::close(fd);
    }
    if (error)
        *error = failure;
    return false;
}

#else

// No FIFO waits there for a writer; a folder or device is still refused.
bool Open(QFile &file, QIODevice::OpenMode mode, int *error)
{
    const QFileInfo info(file.fileName());
    int failure = 0;
    if (info.exists() && !info.isFile())
        failure = info.isDir() ? EISDIR : EINVAL;
    else if (!file.open(mode))
        failure = file.error() == QFileDevice::OpenError && !info.exists() ? ENOENT : EACCES;
    if (failure != 0 && error)
        *error = failure;
    return failure == 0;
}

#endif

} // namespace Regular_file
