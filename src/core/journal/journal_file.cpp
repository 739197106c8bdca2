#include "core/journal/journal_file.h"

#include "core/shared/regular_file.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

bool Journal_file::Fail(const QString &what)
{
#ifdef Q_OS_UNIX
    error_ = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
#else
    error_ = what;
#endif
    return false;
}

#ifdef Q_OS_UNIX

Journal_file::Opened Journal_file::Open(const QString &path)
{
    Close();
    int error = 0;
    // No link followed: one put there would have the journal appended to any file of
    // ours it points at, or make a file where it points.
    const int fd = Regular_file::Open_descriptor(path, O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW, &error);
    if (fd < 0) {
        errno = error;
        Fail(QStringLiteral("cannot open"));
        if (error == EINVAL)
            error_ = QStringLiteral("not a regular file");
        else if (error == ELOOP)
            error_ = QStringLiteral("a symbolic link, not followed");
        return Opened::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        Fail(QStringLiteral("cannot lock"));
        ::close(fd);
        return held ? Opened::Held_elsewhere : Opened::Failed;
    }
    fd_ = fd;
    size_ = std::max<qint64>(0, ::lseek(fd_, 0, SEEK_END));
    char last = '\n';
    ends_mid_line_ = size_ > 0 && ::pread(fd_, &last, 1, size_ - 1) == 1 && last != '\n';
    if (size_ == 0) {
        // A new file: its name in the folder must survive a power cut as its lines do.
        const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                                  O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }
    return Opened::Yes;
}

void Journal_file::Close()
{
    if (fd_ >= 0)
        ::close(fd_); // the lock goes with it
    fd_ = -1;
}

bool Journal_file::Append(const QByteArray &bytes, qint64 *written)
{
    qsizetype done = 0;
    struct Tell
    {
        qsizetype &done;
        qint64 *written;
        ~Tell()
        {
            if (written)
                *written = done;
        }
    } tell{done, written};
    if (fd_ < 0)
        return Fail(QStringLiteral("not open"));
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            Fail(QStringLiteral("cannot write"));
            if (done > 0)
                ends_mid_line_ = bytes.at(done - 1) != '\n';
            size_ += done;
            return false;
        }
        done += n;
    }
    size_ += done;
    if (done > 0)
        ends_mid_line_ = !bytes.endsWith('\n');
    return true;
}

bool Journal_file::Sync()
{
    if (fd_ < 0)
        return false;
#if defined(Q_OS_LINUX)
    return ::fdatasync(fd_) == 0 || Fail(QStringLiteral("cannot sync"));
#else
    return ::fsync(fd_) == 0 || Fail(QStringLiteral("cannot sync"));
#endif
}

#else // Without a port the journal says that it cannot write, and the program goes on.

Journal_file::Opened Journal_file::Open(const QString &)
{
    error_ = QStringLiteral("no journal on this system");
    return Opened::Failed;
}

void Journal_file::Close() {}

bool Journal_file::Append(const QByteArray &, qint64 *written)
{
    if (written)
        *written = 0;
    return false;
}

bool Journal_file::Sync() { return false; }

#endif
