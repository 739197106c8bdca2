#include "core/shared/file_append.h"

#include "core/platform/file_calls.h"
#include "core/shared/native_path.h"

#include <cerrno>

Append_failure Append_whole(const QString &path, const QByteArray &bytes)
{
    // Only a regular file: a FIFO or a device where the log should be is refused at once.
    File_calls::Open_mode mode;
    mode.read = false;
    mode.write = true; // also to cut a failed record off again
    mode.append = true;
    mode.create = true;
    int error = 0;
    const int fd = File_calls::Open(Native_path(path), mode, &error);
    if (fd < 0)
        return {error, true};
    File_calls::Status status;
    const qint64 old_size = File_calls::Status_of(fd, &status) ? status.size : -1;
    if (old_size < 0)
        error = EIO;
    for (qint64 done = 0; !error && done < bytes.size();) {
        const qint64 written = File_calls::Append(fd, bytes.constData() + done, bytes.size() - done, &error);
        if (written > 0)
            done += written;
        else if (written == 0)
            error = EIO;
    }
    if (error && old_size >= 0)
        File_calls::Truncate(fd, old_size);
    int close_error = 0;
    // A network file system may tell only now that the disk is full.
    if (!File_calls::Close(fd, &close_error) && !error)
        error = close_error;
    return {error, false};
}
