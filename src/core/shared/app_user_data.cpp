#include "core/shared/app_user_data.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace {

// The platform's generic per-user data folder, not Qt's per-application one:
// the settings file lies directly in it.
QString platformLocalDataFolder()
{
#ifdef Q_OS_WIN
    // The known folder behind %LOCALAPPDATA%, asked of the shell by Qt: right even
    // where the variable is missing or changed in the environment we were given.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    const QString xdg = QProcessEnvironment::systemEnvironment().value(QStringLiteral("XDG_DATA_HOME"));
    if (!xdg.isEmpty())
        return xdg;
    const QString home = QDir::homePath();
    if (home.isEmpty())
        return {};
    return home + QStringLiteral("/.local/share");
#endif
}

} // namespace

QString AppUserData_Path()
{
    QString folder = platformLocalDataFolder();
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
