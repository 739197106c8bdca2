// A huge settings file: the time and peak memory to read the server address from
// it and to write it back, for files of k=v lines and of blank lines.
//   bench/bench_settings_file [MiB ...]          (default 20 100)
// Each case runs in a process of its own, so that the peak RSS is that case's.

#include "core/shared/ini_file.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

const QString Settings = QStringLiteral("settings");
const QString Host_ip = QStringLiteral("host_ip");

// The address at the very end, so that every line is read.
bool Make_file(const QString &path, qint64 mib, const QByteArray &line)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("[settings]\r\n");
    const QByteArray block = line.repeated(64 * 1024 / line.size());
    for (qint64 written = 0; written < mib * 1024 * 1024; written += block.size())
        file.write(block);
    file.write("host_ip=10.0.0.7\r\n");
    return file.error() == QFileDevice::NoError;
}

int Run_case(const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    const QString value = Ini::Read_Value(path, Settings, Host_ip);
    const qint64 read_ms = clock.restart();
    const bool written = Ini::Write_Value(path, Settings, Host_ip, QStringLiteral("10.0.0.8")).ok;
    const qint64 write_ms = clock.elapsed();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%lld %lld %ld %d\n", static_cast<long long>(read_ms), static_cast<long long>(write_ms),
                usage.ru_maxrss / 1024, value == QLatin1String("10.0.0.7") && written ? 1 : 0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("--case"))
        return Run_case(args[1]);
    if (args.isEmpty())
        args = {QStringLiteral("20"), QStringLiteral("100")};

    QTemporaryDir dir;
    std::printf("%-8s %-12s %10s %10s %14s\n", "size", "lines", "read ms", "write ms", "peak RSS MiB");
    for (const QString &size : args) {
        for (const auto &[name, line] : {std::pair{"k=v", QByteArray("k=v\r\n")}, std::pair{"blank", QByteArray("\r\n")}}) {
            const QString path = dir.filePath(QStringLiteral("Velantra_remote.ini"));
            if (!Make_file(path, size.toLongLong(), line)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return 1;
            }
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--case"), path});
            child.waitForFinished(-1);
            const QList<QByteArray> figures = child.readAllStandardOutput().simplified().split(' ');
            if (child.exitCode() != 0 || figures.size() != 4) {
                std::printf("%-8s %-12s failed (exit %d)\n", qPrintable(size + QStringLiteral(" MiB")), name, child.exitCode());
                continue;
            }
            std::printf("%-8s %-12s %10s %10s %14s%s\n", qPrintable(size + QStringLiteral(" MiB")), name,
                        figures[0].constData(), figures[1].constData(), figures[2].constData(),
                        figures[3] == "1" ? "" : "  (wrong result)");
            QFile::remove(path);
        }
    }
    return 0;
}
