#include "core/shared/own_folder.h"

#include "core/platform/file_calls.h"
#include "core/shared/native_path.h"

#include <QDir>

bool Own_folder(const QString &folder, bool private_only)
{
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        return false;
    return File_calls::Own_folder(Native_path(folder), private_only);
}
