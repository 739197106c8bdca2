#include "core/shared/file_ops.h"

#include "core/shared/native_path.h"

namespace File_ops {

int Open(const QString &path, Access access, int *error)
{
    File_calls::Open_mode mode;
    mode.write = access != Access::Read;
    mode.must_be_new = access == Access::Create_new;
    return File_calls::Open(Native_path(path), mode, error);
}

std::optional<Status> Status_of(int fd)
{
    Status status;
    return File_calls::Status_of(fd, &status) ? std::optional(status) : std::nullopt;
}

std::optional<Status> Status_of(const QString &path)
{
    Status status;
    return File_calls::Status_of(Native_path(path), &status) ? std::optional(status) : std::nullopt;
}

bool Remove(const QString &path) { return File_calls::Remove(Native_path(path)); }

bool Replace(const QString &from, const QString &to, int *error)
{
    return File_calls::Replace(Native_path(from), Native_path(to), error);
}

bool Link(const QString &existing, const QString &new_name, int *error)
{
    return File_calls::Link(Native_path(existing), Native_path(new_name), error);
}

} // namespace File_ops
