#include "support/test_support.h"

#include "core/journal/race_journal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/resource.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#endif

Isolated_user_dirs::Isolated_user_dirs()
    : old_data_(qgetenv("XDG_DATA_HOME")), old_runtime_(qgetenv("XDG_RUNTIME_DIR"))
{
    QDir().mkpath(Data_path());
    QDir().mkpath(Runtime_path());
    QFile::setPermissions(Runtime_path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_DATA_HOME", Data_path().toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", Runtime_path().toLocal8Bit());
}

Isolated_user_dirs::~Isolated_user_dirs()
{
    qputenv("XDG_DATA_HOME", old_data_);
    qputenv("XDG_RUNTIME_DIR", old_runtime_);
}

QStringList Message_recorder::Texts() const
{
    QStringList texts;
    for (const Shown_message &m : messages_)
        texts.append(m.text);
    return texts;
}

Settings_store_stand_in::~Settings_store_stand_in()
{
    Let_go();
    done_.acquire(int(Writes().size()));
}

Ini::Write_result Settings_store_stand_in::Write(const QString &path, const QString &section, const QString &key,
                                                 const QString &value)
{
    {
        std::lock_guard<std::mutex> lock(lock_);
        writes_ << key + QLatin1Char('=') + value;
    }
    go_.acquire(), go_.release(); // once let go, for good
    const Ini::Write_result result = Fallback().Write(path, section, key, value);
    done_.release();
    return result;
}

QStringList Settings_store_stand_in::Writes() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return writes_;
}

QByteArray File_bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Write_file(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList Lines_of(const Class_rolling_text &buffer)
{
    QStringList lines;
    for (qint16 i = 1; i <= buffer.Num_Used_Lines(); ++i)
        lines << buffer.Text_line(i);
    return lines;
}

QString Digits_masked(const QByteArray &sent)
{
    return QString::fromLatin1(sent).replace(QRegularExpression(QStringLiteral("\\d")), QStringLiteral("9"));
}

quint16 Closed_port() // a loopback port where nothing listens
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QString Todays_journal(const QString &folder) { return Race_journal::Day_path(folder, QDate::currentDate()); }

bool Loopback_server::Accept()
{
    // With the event loop running: the client may be on this thread too (the schedule's attempts).
    peer = QTest::qWaitFor([this] { return server.hasPendingConnections(); }, 5000) ? server.nextPendingConnection() : nullptr;
    return peer;
}

void Loopback_server::Reset()
{
    const linger abort{1, 0};
    ::setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    peer->close();
}

QByteArray Loopback_server::Read(int n)
{
    QByteArray bytes;
    (void)QTest::qWaitFor([&] { return (bytes += peer->readAll()).size() >= n; }, 5000);
    return bytes;
}

Working_folder::Working_folder(const QString &path) : saved(QDir::currentPath()) { QDir::setCurrent(path); }
Working_folder::~Working_folder() { QDir::setCurrent(saved); }

Small_tmpfs::Small_tmpfs(const QByteArray &options)
{
#ifdef Q_OS_LINUX
    mounted_ = ::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0, options.constData()) == 0;
#else
    Q_UNUSED(options);
#endif
}

Small_tmpfs::~Small_tmpfs()
{
#ifdef Q_OS_LINUX
    if (mounted_)
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
#endif
}

void Small_tmpfs::Fill()
{
    QFile filler(dir_.filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size()) {
    }
    // The last, partly filled block too.
    while (filler.write("f", 1) == 1) {
    }
}

// Sets the process's soft limit on file sizes; returns the one it replaced.
static qint64 Swap_file_size_limit(qint64 bytes)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const qint64 old = qint64(limit.rlim_cur);
    limit.rlim_cur = rlim_t(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    return old;
}

File_size_limit::File_size_limit(qint64 bytes) : old_soft_(Swap_file_size_limit(bytes)) {}
File_size_limit::~File_size_limit() { Swap_file_size_limit(old_soft_); }

namespace {
bool Set_immutable(const QString &path, bool on)
{
#ifdef Q_OS_LINUX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
#else
    Q_UNUSED(path);
    Q_UNUSED(on);
    return false;
#endif
}

// Whether a new file can be made in the folder now.
bool Takes_new_files(const QString &folder)
{
    QFile probe(folder + QStringLiteral("/.probe"));
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.remove();
    return true;
}
} // namespace

Folder_refusing_new_files::Folder_refusing_new_files(const QString &path) : path_(path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (Takes_new_files(path)) // root
        immutable_ = Set_immutable(path, true);
    made_ = !Takes_new_files(path);
}

Folder_refusing_new_files::~Folder_refusing_new_files()
{
    if (immutable_)
        Set_immutable(path_, false);
    QFile::setPermissions(path_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

Namespaced_link::Namespaced_link() : server_(QStringLiteral("velantra-%1").arg(QCoreApplication::applicationPid()))
{
#ifdef Q_OS_LINUX
    // The client's namespace is this thread's own, new; ip, started from here, works in it.
    home_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    made_ = ::geteuid() == 0 && home_ >= 0 && Ip({"netns", "add", server_}) && ::unshare(CLONE_NEWNET) == 0
            && Ip({"link", "add", "vc", "type", "veth", "peer", "name", "vs", "netns", server_})
            && Ip({"addr", "add", "10.26.0.1/24", "dev", "vc"}) && Ip({"link", "set", "vc", "up"})
            && Ip({"-n", server_, "addr", "add", Server_address() + "/24", "dev", "vs"}) && Mend();
    client_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
#endif
}

Namespaced_link::~Namespaced_link()
{
#ifdef Q_OS_LINUX
    for (const int fd : {client_, home_})
        if (fd >= 0)
            ::setns(fd, CLONE_NEWNET), ::close(fd); // home last
    if (::geteuid() == 0)
        Ip({"netns", "del", server_}); // the pair goes with it
#endif
}

bool Namespaced_link::Listen(QTcpServer &server)
{
#ifdef Q_OS_LINUX
    // A socket stays in the namespace it was made in.
    const int there = ::open(QFile::encodeName("/run/netns/" + server_).constData(), O_RDONLY | O_CLOEXEC);
    const bool listening = made_ && there >= 0 && ::setns(there, CLONE_NEWNET) == 0 && server.listen(QHostAddress(Server_address()), 0);
    if (there >= 0)
        ::close(there);
    return ::setns(client_, CLONE_NEWNET) == 0 && listening;
#else
    Q_UNUSED(server);
    return false;
#endif
}

bool Namespaced_link::Ip(const QStringList &arguments)
{
    QProcess ip;
    ip.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ip.start(QStringLiteral("ip"), arguments);
    return ip.waitForFinished(30000) && ip.exitStatus() == QProcess::NormalExit && ip.exitCode() == 0;
}
