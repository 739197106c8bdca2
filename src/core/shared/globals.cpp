#include "core/shared/globals.h"

#include "build_version.h"
#include "core/shared/app_user_data.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSysInfo>

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

namespace {

// The value of the first "key: value" or "KEY=value" line with that key. Only the
// head of the file is read: /proc files have no size, and a broken one no end.
QString Field(const QString &path, const QByteArray &key, char separator)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    const QByteArray head = file.read(256 * 1024);
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype at = line.indexOf(separator);
        if (at > 0 && line.left(at).trimmed() == key)
            return QString::fromUtf8(line.mid(at + 1).trimmed());
    }
    return {};
}

} // namespace

Machine_texts Describe_machine(const QString &os_release, const QString &cpuinfo, const QString &meminfo)
{
    Machine_texts machine;
    QString system = Field(os_release, "PRETTY_NAME", '=');
    if (system.size() >= 2 && (system.startsWith(QLatin1Char('"')) || system.startsWith(QLatin1Char('\'')))
        && system.endsWith(system.front()))
        system = system.mid(1, system.size() - 2);
    machine.system = system.isEmpty() ? QSysInfo::prettyProductName() : system;
    // "Intel(R) Core(TM) i7-10700K CPU @ 3.80GHz" says no more than "Intel Core i7-10700K".
    static const QRegularExpression noise(
        QStringLiteral("\\((R|TM|tm)\\)|\\bCPU\\b|\\bProcessor\\b|\\S+-Core\\b|@.*$"));
    machine.cpu = Field(cpuinfo, "model name", ':').remove(noise).simplified();
    if (machine.cpu.isEmpty())
        machine.cpu = QSysInfo::currentCpuArchitecture();
    // The kind of kernel alone: the system's name and version stand on the line before.
    machine.os = QSysInfo::kernelType();
    if (!machine.os.isEmpty())
        machine.os[0] = machine.os[0].toUpper();
    // "MemTotal:       16303412 kB"
    bool read = false;
    const qint64 kib = Field(meminfo, "MemTotal", ':').section(QLatin1Char(' '), 0, 0).toLongLong(&read);
    if (read && kib > 0)
        machine.memory = QLocale::c().toString(double(kib) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" GiB");
    return machine;
}

void Fill_machine_texts()
{
    // What was set before (a test's own) is kept.
    if (Windows_version_text.isEmpty() && Cpu_text.isEmpty() && Ram_size_text.isEmpty()) {
        const Machine_texts machine = Describe_machine();
        Windows_version_text = machine.system;
        Cpu_text = machine.cpu;
        Ram_size_text = machine.memory;
        Os_text = machine.os;
    }
}

void Init_program()
{
    if (Computer_name.isEmpty())
        Computer_name = QSysInfo::machineHostName();
    Program_name = QStringLiteral("Velantra Remote Client");
    User_appdata_path = AppUserData_Path();
    Ini_file_path = Ini_file_path_for(User_appdata_path);
    Program_version = QStringLiteral("%1.%2.%3").arg(Version_major()).arg(Version_minor()).arg(Version_revision());
}

} // namespace Globals
