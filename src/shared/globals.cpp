#include "shared/globals.h"

#include "build_version.h"
#include "shared/app_user_data.h"

#include <QDir>

namespace Globals {

QString Program_name;
QString Program_version;
QString User_appdata_path;
QString Ini_file_path;

qint16 Release_number = 0;
QString Computer_name;
QString PC_description;
QString Ram_size_text;
QString Windows_version_text;
QString Cpu_text;
QString Os_text;

qint16 Version_major() { return VELANTRA_VERSION_MAJOR; }
qint16 Version_minor() { return VELANTRA_VERSION_MINOR; }
qint16 Version_revision() { return VELANTRA_VERSION_REVISION; }

QString Ini_file_path_for(const QString &folder)
{
    return folder + QDir::separator() + QStringLiteral("Velantra_remote") + QStringLiteral(".ini");
}

void Init_program()
{
    Program_name = QStringLiteral("Velantra Remote Client");
    User_appdata_path = AppUserData_Path();
    Ini_file_path = Ini_file_path_for(User_appdata_path);
    Program_version = QStringLiteral("%1.%2.%3").arg(Version_major()).arg(Version_minor()).arg(Version_revision());
}

} // namespace Globals
