#include "core/shared/app_user_data.h"

#include "core/platform/system_calls.h"
#include "core/shared/native_path.h"

#include <QDir>

QString AppUserData_Path()
{
    // The system's generic per-user data folder, not Qt's per-application one: the
    // settings file lies directly in it.
    QString folder = From_system(System_calls::Local_data_folder());
    if (folder.isEmpty())
        return {};
    // A relative folder would be whatever folder the program was started in.
    if (QDir::isRelativePath(folder))
        return QStringLiteral("The folder does not exist");
    folder = QDir::toNativeSeparators(QDir::cleanPath(folder));
    while (folder.size() > 1 && folder.endsWith(QDir::separator()))
        folder.chop(1);
    if (!QDir().mkpath(folder))
        return QStringLiteral("The folder does not exist");
    return folder;
}
