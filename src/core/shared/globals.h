#pragma once
// Program-wide values (set once at start-up by Init_program, read by every window).

#include <QString>
#include <QtGlobal>

namespace Globals {

inline const QString Compile_date = QStringLiteral("2017-06-20 20:48");
// What the desktop calls the program: the main window's caption, the application's name.
inline const QString Program_title = QStringLiteral("Velantra Remote Start");

extern QString Program_name;
extern QString Program_version;
extern QString User_appdata_path;
extern QString Ini_file_path;

// Printed by the error reports. Init_program fills the computer's name, Fill_machine_texts
// its system, processor, memory and kind of kernel; the others stay empty (or 0).
extern qint16 Release_number;
extern QString Computer_name;
extern QString PC_description;
extern QString Ram_size_text;
extern QString Windows_version_text;
extern QString Cpu_text;
extern QString Os_text;

// The program's own version numbers, from the build.
qint16 Version_major();
qint16 Version_minor();
qint16 Version_revision();

// Sets Program_name, User_appdata_path, Ini_file_path and Program_version.
void Init_program();

// Sets the machine's texts when nothing has set them: at the first error report, not at
// start-up, which has no use for them (the files are read then).
void Fill_machine_texts();

// The machine as the error report names it, short enough for the window's fixed
// labels: the system, the processor, the memory and the kind of kernel. The files
// are Linux's; where one is missing or says nothing, Qt's view of the system (or an
// empty memory text) stands in.
struct Machine_texts
{
    QString system; // "Debian GNU/Linux 12 (bookworm)"
    QString cpu;    // "Intel Core i7-10700K": the model without marks, "CPU", cores or clock
    QString memory; // "15.5 GiB"
    QString os;     // "Linux"
};
Machine_texts Describe_machine(const QString &os_release = QStringLiteral("/etc/os-release"),
                               const QString &cpuinfo = QStringLiteral("/proc/cpuinfo"),
                               const QString &meminfo = QStringLiteral("/proc/meminfo"));

// The settings file in a given folder, joined with the platform's separator.
QString Ini_file_path_for(const QString &folder);

} // namespace Globals
