// The settings file: private-profile semantics, encodings and line ends, whole
// writes on a failing machine and under kills, other writers, odd files, the data folder.
#include "core/shared/app_user_data.h"
#include "core/shared/globals.h"
#include "core/shared/ini_file.h"
#include "core/shared/ini_values.h"
#include "core/shared/platform.h"
#include "support/test_support.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// A text as a UTF-16 file holds it, with its byte-order mark.
QByteArray Utf16(const QString &text, bool big_endian = false)
{
    return QStringEncoder(big_endian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)
        .encode(text);
}
// The first line end at the end of the first 64 KiB read, its LF in the next.
QByteArray Split_line_end(const QByteArray &first_line)
{
    return first_line + QByteArray(65535 - first_line.size(), ' ') + "\r\n";
}
const QString Ini_name = QStringLiteral("Velantra_remote.ini");
const QString Settings = QStringLiteral("settings");
const QString Host_ip = QStringLiteral("host_ip");

QStringList Files_in(const QString &folder) { return QDir(folder).entryList(QDir::Files); }

QString Write_failure(const QString &path, int error)
{
    return QStringLiteral("Writing to INI file failed! Path = ") + path + QStringLiteral("\r\n Error = ")
           + QString::number(error) + QLatin1Char(' ') + QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

class Tst_settings : public QObject
{
    Q_OBJECT
private slots:

    // A file of CR line ends, and one without a last line end: the writes' and kills' files.
    void lookup_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("found");

        QTest::newRow("names ignore case, = in value") << QByteArray("[SETTINGS]\r\nHOST_IP=a=b\r\n") << "a=b" << true;
        QTest::newRow("blanks trimmed") << QByteArray("  [ settings ]  \r\n  host_ip  =  b c  \r\n") << "b c" << true;
        QTest::newRow("quotes dropped") << QByteArray("[settings]\nhost_ip=\" spaced \"\n") << " spaced " << true;
        QTest::newRow("unmatched quotes kept") << QByteArray("[settings]\nhost_ip='x\"\n") << "'x\"" << true;
        QTest::newRow("UTF-16 LE") << Utf16(QString::fromUtf8("[other]\r\nk=1\r\n[settings]\r\nhost_ip=S\u00e4ter\r\n"))
                                   << QString::fromUtf8("S\u00e4ter") << true;
        QTest::newRow("UTF-16 BE, CR") << Utf16(QStringLiteral("[settings]\rhost_ip=be"), true) << "be" << true;
        // What the ANSI code page lacks arrives as "?", as from any settings file.
        QTest::newRow("UTF-8") << QByteArray("\xEF\xBB\xBF[settings]\nhost_ip=\xC3\xA4\xE4\xB8\xAD\n")
                               << QString::fromUtf8("\u00e4?") << true;
        QTest::newRow("comment is no key") << QByteArray("[settings]\r\n;host_ip=old\r\n") << "" << false;
        QTest::newRow("first key wins") << QByteArray("[settings]\r\nhost_ip=1\r\nhost_ip=2\r\n") << "1" << true;
        QTest::newRow("first section wins")
            << QByteArray("[settings]\r\nother=1\r\n[x]\r\n[settings]\r\nhost_ip=2\r\n") << "" << false;
        QTest::newRow("windows-1252") << QByteArray("[settings]\r\nhost_ip=S\xe4ter\x80\r\n")
                                      << QString::fromUtf8("Säter€") << true;
    }

    void lookup()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        QFETCH(bool, found);
        bool was_found = !found;
        QCOMPARE(Ini::Lookup(file, Settings, Host_ip, &was_found), expected);
        QCOMPARE(was_found, found);
    }

    void write_keeps_other_lines_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("missing file, Windows-1252") << QString::fromUtf8("Z\u00fcrich \u20ac \u4e2d") << QByteArray()
            << QByteArray("[settings]\r\nhost_ip=Z\xfcrich \x80 ?\r\n");
        QTest::newRow("replace in place") << QStringLiteral("NEW")
            << QByteArray("; top\r\n[settings]\r\nHost_IP = old \r\nport=1\r\n[other]\r\nx=\"q\"\r\n")
            << QByteArray("; top\r\n[settings]\r\nHost_IP=NEW\r\nport=1\r\n[other]\r\nx=\"q\"\r\n");
        QTest::newRow("key added at end of its section") << QStringLiteral("NEW")
            << QByteArray("[settings]\r\nport=1\r\n\r\n[other]\n  odd line kept \n")
            << QByteArray("[settings]\r\nport=1\r\nhost_ip=NEW\r\n\r\n[other]\n  odd line kept \n");
        QTest::newRow("section added at end, in the file's line ends") << QStringLiteral("NEW")
            << QByteArray("[other]\nx=1") << QByteArray("[other]\nx=1\n[settings]\nhost_ip=NEW\n");
        QTest::newRow("CR file: replaced, not added again") << QStringLiteral("NEW")
            << QByteArray("[settings]\rhost_ip=old\rport=1\r") << QByteArray("[settings]\rhost_ip=NEW\rport=1\r");
        QTest::newRow("UTF-16 stays UTF-16 with its mark") << QString::fromUtf8("Z\u00fcrich \u4e2d")
            << Utf16(QStringLiteral(";c\r\n[settings]\r\nhost_ip=old\r\n"))
            << Utf16(QString::fromUtf8(";c\r\n[settings]\r\nhost_ip=Z\u00fcrich ?\r\n"));
        QTest::newRow("UTF-8 with its mark") << QString::fromUtf8("\u00e4") << QByteArray("\xEF\xBB\xBF[settings]\n")
            << QByteArray("\xEF\xBB\xBF[settings]\nhost_ip=\xC3\xA4\n");
        QTest::newRow("CR LF across a read") << QStringLiteral("NEW") << Split_line_end("[settings]") + "port=1"
            << Split_line_end("[settings]") + "port=1\r\nhost_ip=NEW\r\n";
    }

    void write_keeps_other_lines()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString path = dir.filePath(Ini_name);
        if (!before.isEmpty())
            QVERIFY(Write_file(path, before));
        Message_recorder boxes;
        const mode_t old_mask = ::umask(077); // a new file is made as it says, a file kept keeps its mode
        QCOMPARE(Write_Ini_Value(Settings, Host_ip, value, path), qint16(1));
        ::umask(old_mask);
        QCOMPARE(File_bytes(path), after);
        QCOMPARE(QFileInfo(path).permissions() & QFileDevice::ReadGroup, before.isEmpty() ? QFileDevice::Permissions() : QFileDevice::ReadGroup);
        QVERIFY(boxes.Messages().isEmpty());
        // Nothing is left beside it.
        QCOMPARE(Files_in(dir.path()), QStringList{Ini_name});
    }

    void failed_write_leaves_the_old_file_whole_data()
    {
        QTest::addColumn<QString>("fault");
        // The kernel refuses the bytes Qt buffered, as a full disk does: runs everywhere.
        QTest::newRow("file-size limit") << "limit";
        // A real full disk where the test may mount one.
        QTest::newRow("full disk") << "full";
        QTest::newRow("full disk, folder takes no new file") << "full, in place";
    }

    void failed_write_leaves_the_old_file_whole()
    {
        QFETCH(QString, fault);
        const QByteArray old = "[settings]\r\nhost_ip=10.0.0.7\r\nport=1\r\n";
        QTemporaryDir dir;
        std::optional<Small_tmpfs> disk;
        if (fault != QLatin1String("limit") && !disk.emplace("size=64k").Mounted())
            QSKIP("no tmpfs may be mounted here (root only)");
        const QString folder = disk ? disk->Path() : dir.path();
        const QString path = folder + QLatin1Char('/') + Ini_name;
        QVERIFY(Write_file(path, old));
        if (disk)
            disk->Fill();
        const QStringList files_before = Files_in(folder);
        std::optional<Folder_refusing_new_files> refusing;
        if (fault.endsWith(QLatin1String("in place")) && !refusing.emplace(folder).Made())
            QSKIP(Folder_refusing_new_files::Why_not);
        Message_recorder boxes;
        Platform::Keep_running_at_file_size_limit(); // as the program does from its start
        std::optional<File_size_limit> limit;
        if (!disk)
            limit.emplace(old.size() + 16);
        const qint16 result = Write_Ini_Value(Settings, Host_ip, QString(5000, QLatin1Char('x')), path);
        limit.reset();
        QCOMPARE(result, qint16(0));
        QCOMPARE(File_bytes(path), old);
        QCOMPARE(boxes.Texts(), QStringList{Write_failure(path, disk ? ENOSPC : EFBIG)});
        QCOMPARE(Files_in(folder), files_before);
    }

    // Another program that takes no lock writes after ours read the file: a missing file
    // made meanwhile, or one changed where it lies to the same size, most likely within the
    // same clock tick, so that only its bytes tell.
    void another_writer_between_read_and_write_keeps_its_keys()
    {
        for (const QByteArray &before : {QByteArray(), QByteArray("[settings]\r\nport=0\r\n[other]\r\nk=w\r\n")}) {
            QTemporaryDir dir;
            const QString path = dir.filePath(Ini_name);
            if (!before.isEmpty())
                QVERIFY(Write_file(path, before));
            int replacing = 0;
            const auto other_writer = [&] {
                if (replacing++ == 0)
                    QVERIFY(Write_file(path, "[settings]\r\nport=1\r\n[other]\r\nk=v\r\n"));
            };
            QVERIFY(Ini::Write_Value(path, Settings, Host_ip, QStringLiteral("NEW"), other_writer).ok);
            QCOMPARE(replacing, 2); // read again and written on the other's file
            QCOMPARE(File_bytes(path), QByteArray("[settings]\r\nport=1\r\nhost_ip=NEW\r\n[other]\r\nk=v\r\n"));
            QCOMPARE(Files_in(dir.path()), QStringList{Ini_name});
        }
    }

    // A kill at any moment of a write leaves the old or the new value and every other
    // line whole; the next write removes what the killed one left behind.
    void kill_at_any_moment_leaves_the_old_or_the_new_value_data()
    {
        QTest::addColumn<bool>("in_place");
        QTest::newRow("beside") << false;
        QTest::newRow("in place") << true;
    }

    void kill_at_any_moment_leaves_the_old_or_the_new_value()
    {
        QFETCH(bool, in_place);
        QTemporaryDir dir;
        const QString path = dir.filePath(Ini_name);
        const QByteArray first = "[settings]\r\nhost_ip=0\r\nport=1\r\n[other]\r\nk=v"; // no last line end
        QVERIFY(Write_file(path, first));
        QVERIFY(Write_file(path + QStringLiteral(".backup"), first)); // a person's copy is no leftover
        std::optional<Folder_refusing_new_files> refusing;
        if (in_place && !refusing.emplace(dir.path()).Made())
            QSKIP(Folder_refusing_new_files::Why_not);
        QStringList values{QStringLiteral("0")}; // of every length: the file grows and shrinks
        for (int length = 1; length <= 60; length += 7)
            values << QString(length, QLatin1Char('0' + length % 10));
        for (int round = 0; round < 60; ++round) {
            if (round % 2 == 0) // the file where it lies grows again
                QVERIFY(Write_file(path, first));
            const pid_t child = ::fork();
            for (int i = round; child == 0; ++i)
                Ini::Write_Value(path, Settings, Host_ip, values[i % values.size()]);
            ::usleep(2000 + std::rand() % 6000);
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            QVERIFY(values.contains(Ini::Read_Value(path, Settings, Host_ip)));
            QCOMPARE(Ini::Read_Value(path, Settings, QStringLiteral("port")) + Ini::Read_Value(path, QStringLiteral("other"), QStringLiteral("k")),
                     QStringLiteral("1v"));
        }
        // Where it lies, the file grows; a shorter value keeps the line's length in blanks.
        QVERIFY(Write_file(path, first));
        QVERIFY(Ini::Write_Value(path, Settings, Host_ip, QStringLiteral("last")).ok && Ini::Write_Value(path, Settings, Host_ip, QStringLiteral("t")).ok);
        QCOMPARE(File_bytes(path), QByteArray(first).replace("host_ip=0", in_place ? "host_ip=t   " : "host_ip=t"));
        QCOMPARE(Files_in(dir.path()), (QStringList{Ini_name, Ini_name + QStringLiteral(".backup")}));
        // A file that does not exist yet cannot be made there, and says so.
        QCOMPARE(Ini::Write_Value(dir.filePath(QStringLiteral("new.ini")), Settings, Host_ip, QStringLiteral("v")).ok, !in_place);
    }

    // An empty or missing value reads as the default.
    void read_ini_value_defaults_and_what_is_no_regular_file_is_refused_at_once()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(Ini_name);
        QCOMPARE(Read_Ini_Value(Settings, Host_ip, path, QStringLiteral("x")), QStringLiteral("x")); // no file
        QVERIFY(Write_file(path, "[settings]\r\nhost_ip=\r\nlong=" + QByteArray(600, 'a') + "\r\n"));
        // An empty value reads like a missing one; without a default as "N/A".
        QCOMPARE(Read_Ini_Value(Settings, Host_ip, path, QString()), QStringLiteral("N/A"));
        // At most what a 512-character buffer holds.
        QCOMPARE(Read_Ini_Value(Settings, QStringLiteral("long"), path, QString()), QString(511, QLatin1Char('a')));

        // An empty path reads nothing and says so, whatever the default.
        Message_recorder boxes;
        QCOMPARE(Read_Ini_Value(Settings, Host_ip, QString(), QStringLiteral("d")), QString());
        QCOMPARE(boxes.Texts(), QStringList{QStringLiteral("Ini_file_path is empty!")});

        // Not a file to read or write: a FIFO (it would wait for a writer for ever),
        // devices (endless bytes), a folder. The default is used; a write says it failed.
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600) == 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("zero"))) && QDir(dir.path()).mkdir(QStringLiteral("folder")));
        for (const auto &[name, error] : {std::pair("fifo", EINVAL), {"zero", EINVAL}, {"folder", EISDIR}}) {
            const QString odd = dir.filePath(QLatin1String(name));
            boxes.Clear();
            QCOMPARE(Read_Ini_Value(Settings, Host_ip, odd, QStringLiteral("127.0.0.1")), QStringLiteral("127.0.0.1"));
            QCOMPARE(Write_Ini_Value(Settings, Host_ip, QStringLiteral("x"), odd), qint16(0));
            QCOMPARE(boxes.Texts(), QStringList{Write_failure(odd, error)});
        }
    }

    void app_user_data_path()
    {
        Isolated_user_dirs dirs;
        QDir(dirs.Data_path()).removeRecursively();
        // Created when missing, no trailing separator.
        QCOMPARE(AppUserData_Path(), QDir::toNativeSeparators(dirs.Data_path()));
        QVERIFY(QDir(dirs.Data_path()).exists());
        qputenv("XDG_DATA_HOME", (dirs.Data_path() + QStringLiteral("/")).toLocal8Bit());
        QCOMPARE(AppUserData_Path(), QDir::toNativeSeparators(dirs.Data_path()));

        Globals::Init_program();
        QCOMPARE(Globals::Ini_file_path, dirs.Data_path() + QStringLiteral("/Velantra_remote.ini"));

        // A folder that cannot be created.
        const QString blocker = dirs.Data_path() + QStringLiteral("/file");
        QVERIFY(Write_file(blocker, "x"));
        qputenv("XDG_DATA_HOME", (blocker + QStringLiteral("/sub")).toLocal8Bit());
        QCOMPARE(AppUserData_Path(), QStringLiteral("The folder does not exist"));
        // Relative folders are no folders: they would be whatever folder the program started in.
        const QByteArray home = qgetenv("HOME");
        for (const auto &[data, home_folder] : {std::pair("data", "/home"), {"", "home"}}) {
            qputenv("XDG_DATA_HOME", data), qputenv("HOME", home_folder);
            QCOMPARE(AppUserData_Path(), QStringLiteral("The folder does not exist"));
        }
        qputenv("HOME", home), qputenv("XDG_DATA_HOME", (blocker + QStringLiteral("/sub")).toLocal8Bit());

        // That text is no folder: nothing is read or written relative to the working folder.
        Globals::Init_program();
        QCOMPARE(Globals::Ini_file_path, QStringLiteral("The folder does not exist/Velantra_remote.ini"));
        Working_folder here(dirs.Data_path());
        QDir().mkpath(QStringLiteral("The folder does not exist"));
        const QByteArray planted = "[settings]\r\nhost_ip=planted\r\n";
        QVERIFY(Write_file(Globals::Ini_file_path, planted));
        Message_recorder boxes;
        QCOMPARE(Read_Ini_Value(Settings, Host_ip, Globals::Ini_file_path, QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(Write_Ini_Value(Settings, Host_ip, QStringLiteral("x"), Globals::Ini_file_path), qint16(0));
        QCOMPARE(boxes.Texts(), QStringList{Write_failure(Globals::Ini_file_path, ENOENT)});
        QCOMPARE(File_bytes(Globals::Ini_file_path), planted);
    }
};

QTEST_GUILESS_MAIN(Tst_settings)
#include "tst_settings.moc"
