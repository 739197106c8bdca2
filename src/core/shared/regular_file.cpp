#include "core/shared/regular_file.h"

#include "core/platform/file_calls.h"
#include "core/shared/native_path.h"

#include <cerrno>

namespace Regular_file {

bool Open(QFile &file, QIODevice::OpenMode mode, int *error)
{
    if (mode & QIODevice::Append)
        mode |= QIODevice::WriteOnly;
    File_calls::Open_mode how;
    how.read = mode & QIODevice::ReadOnly;
    how.write = mode & QIODevice::WriteOnly;
    how.create = how.write && !(mode & QIODevice::ExistingOnly);
    how.must_be_new = mode & QIODevice::NewOnly;
    how.append = mode & QIODevice::Append;
    // As QFile: writing alone, and neither appending nor making a new file, empties it.
    how.truncate = (mode & QIODevice::Truncate)
                   || (how.write && !how.read && !(mode & (QIODevice::Append | QIODevice::NewOnly)));
    int failure = 0;
    const int fd = File_calls::Open(Native_path(file.fileName()), how, &failure);
    if (fd >= 0 && file.open(fd, mode, QFileDevice::AutoCloseHandle))
        return true;
    if (fd >= 0) {
        failure = EIO;
        File_calls::Close(fd);
    }
    if (error)
        *error = failure;
    return false;
}

} // namespace Regular_file
