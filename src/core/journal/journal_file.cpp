#include "core/journal/journal_file.h"

#include "core/platform/file_calls.h"
#include "core/shared/native_path.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

bool Journal_file::Fail(const QString &what, int error)
{
    error_ = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    return false;
}

Journal_file::Opened Journal_file::Open(const QString &path)
{
    Close();
    int error = 0;
    File_calls::Open_mode mode;
    mode.append = true;
    mode.create = true;
    // No link followed: one put there would have the journal appended to any file of
    // ours it points at, or make a file where it points.
    mode.no_follow = true;
    const int fd = File_calls::Open(Native_path(path), mode, &error);
    if (fd < 0) {
        Fail(QStringLiteral("cannot open"), error);
        if (error == EINVAL)
            error_ = QStringLiteral("not a regular file");
        else if (error == ELOOP)
            error_ = QStringLiteral("a symbolic link, not followed");
        return Opened::Failed;
    }
    if (!File_calls::Try_lock(fd, File_calls::Lock::Exclusive, &error)) {
        Fail(QStringLiteral("cannot lock"), error);
        File_calls::Close(fd);
        return error == EWOULDBLOCK ? Opened::Held_elsewhere : Opened::Failed;
    }
    fd_ = fd;
    File_calls::Status status;
    size_ = File_calls::Status_of(fd_, &status) ? status.size : 0;
    char last = '\n';
    ends_mid_line_ = size_ > 0 && File_calls::Seek(fd_, size_ - 1, &error) && File_calls::Read(fd_, &last, 1, &error) == 1
                     && last != '\n';
    // A new file: its name in the folder must survive a power cut as its lines do.
    if (size_ == 0)
        File_calls::Sync_folder(Native_path(QFileInfo(path).absolutePath()));
    return Opened::Yes;
}

void Journal_file::Close()
{
    if (fd_ >= 0)
        File_calls::Close(fd_); // the lock goes with it
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
        return Fail(QStringLiteral("not open"), EBADF);
    while (done < bytes.size()) {
        int error = ENOSPC;
        const qint64 n = File_calls::Append(fd_, bytes.constData() + done, bytes.size() - done, &error);
        if (n <= 0) {
            Fail(QStringLiteral("cannot write"), error);
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
    int error = 0;
    return fd_ >= 0 && (File_calls::Sync(fd_, &error) || Fail(QStringLiteral("cannot sync"), error));
}
