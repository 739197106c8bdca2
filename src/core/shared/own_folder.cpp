#include "core/shared/own_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

bool Own_folder(const QString &folder, bool private_only)
{
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        return false;
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return private_only ? (st.st_mode & 0777) == 0700 : (st.st_mode & 0022) == 0;
#else
    Q_UNUSED(private_only);
    return QFileInfo(folder).isDir();
#endif
}
