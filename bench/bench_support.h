#pragma once
// The main window connected to a loopback server, for the benchmarks.

#include "core/connection/display_model.h"
#include "core/connection/connection_thread.h"
#include "core/connection/message_writer.h"
#include "desktop/main_window/form_remotestart.h"
#include "support/test_support.h"
#include "support/window_test.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <vector>
#include <thread>
#include <atomic>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#include <sys/time.h>
#include <sched.h>
#include <pthread.h>

#include <cstdio>
#include <cstdlib>

// A plain loopback listener for the timing server's side, so that the server's reads
// and stamps go through no event loop. Accept() gives the connection (TCP_NODELAY).
class Loopback_listener
{
public:
    Loopback_listener()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr *>(&address), size) != 0 || ::listen(fd_, 1) != 0
            || ::getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
            std::perror("listen");
            std::exit(1);
        }
        port = ntohs(address.sin_port);
    }
    ~Loopback_listener() { ::close(fd_); }
    Q_DISABLE_COPY_MOVE(Loopback_listener)

    int Accept() const
    {
        const int connection = ::accept(fd_, nullptr, nullptr);
        const int on = 1;
        ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return connection;
    }

    quint16 port = 0;

private:
    int fd_ = -1;
};

// Reads exactly size bytes, polling without sleeping so that the reader's own wake-up
// is not part of what is measured; false when the connection ends first.
inline bool Receive_exactly(int fd, qsizetype size)
{
    char buffer[256];
    for (qsizetype got = 0; got < size;) {
        const ssize_t n = ::recv(fd, buffer, size_t(std::min<qsizetype>(size - got, sizeof buffer)), MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return false;
        got += std::max<ssize_t>(n, 0);
    }
    return true;
}

inline long long Now_ns();

// The floor: one send() of a Start's 24 bytes on a connected loopback socket, to the
// last byte read by the same kind of peer as the server's, nothing else in between.
// Measured in the same run as what it is set beside, so both see the same machine.
class Loopback_floor
{
public:
    Loopback_floor()
    {
        client_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(listener_.port);
        const int on = 1;
        ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (::connect(client_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            std::perror("floor connect");
            std::exit(1);
        }
        peer_ = listener_.Accept();
    }
    ~Loopback_floor()
    {
        ::close(client_);
        ::close(peer_);
    }
    Q_DISABLE_COPY_MOVE(Loopback_floor)
    int Client() const { return client_; }
    int Peer() const { return peer_; }
    // One send and its receipt, in microseconds.
    double Once_us() const;

private:
    Loopback_listener listener_;
    int client_ = -1, peer_ = -1;
};

// Runs the event loop until done() holds or the time is up; false on time-out. The
// window's thread sleeps between events, as in the client, and looks at done() every
// millisecond: a loop that never sleeps would take a core from what is measured.
template <typename F> bool Run_until(F done, int timeout_ms)
{
    QElapsedTimer clock;
    clock.start();
    QTimer look;
    look.setTimerType(Qt::PreciseTimer);
    look.start(1);
    while (!done()) {
        if (clock.elapsed() > timeout_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Presses Connect against 127.0.0.1 on port; exits the benchmark when that fails.
inline void Connect_window(Form_remotestart &form, quint16 port)
{
    form.Network()->Set_remote_port(port);
    Find<QLineEdit>(&form, "Text_host")->setText(QStringLiteral("127.0.0.1"));
    Find<QPushButton>(&form, "Command_connect")->click();
    if (!Run_until([&] { return form.Network()->Socket_state() == 7; }, 10000)) {
        std::fprintf(stderr, "could not connect to the loopback peer\n");
        std::exit(1);
    }
}

inline void Use_offscreen_by_default()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline long long Now_ns()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count(); // CLOCK_MONOTONIC on Linux, as the stand-in phidget21 library's stamps
}

inline long long Thread_cpu_ns()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

inline double Loopback_floor::Once_us() const
{
    static const char message[] = "12:34:56 Velantra Start%";
    const long long t0 = Now_ns();
    if (::send(client_, message, 24, MSG_NOSIGNAL) != 24 || !Receive_exactly(peer_, 24))
        return -1;
    return double(Now_ns() - t0) / 1e3;
}

// The application, timing every event handled on its own thread from outside (the
// outermost notify only, so a handler is counted once with what it calls).
class Timed_application : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (QThread::currentThread() != thread() || depth_ > 0)
            return QApplication::notify(receiver, event);
        ++depth_;
        // Named before: the event may delete its receiver (a deferred delete).
        const char *class_name = receiver ? receiver->metaObject()->className() : "";
        const int type = int(event->type());
        const long long start = Now_ns();
        const long long cpu_start = Thread_cpu_ns();
        const bool done = QApplication::notify(receiver, event);
        const long long took = Now_ns() - start;
        longest_cpu_ns = std::max(longest_cpu_ns, Thread_cpu_ns() - cpu_start);
        --depth_;
        if (took > longest_ns) {
            longest_ns = took;
            longest_what = QStringLiteral("%1 to %2").arg(type).arg(QString::fromLatin1(class_name));
        }
        return done;
    }
    long long longest_ns = 0;
    long long longest_cpu_ns = 0; // the work in it, without the time the thread waited for a core
    QString longest_what;

private:
    int depth_ = 0;
};

// A plain connected loopback socket to a floor's server (TCP_NODELAY, as the client's).
inline int Connect_to(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        std::perror("connect to a floor's server");
        std::exit(1);
    }
    return fd;
}

// Reads a connected socket until it closes, handing each "%"-ended message with the
// time its read returned to take, under lock (the benchmarks' servers).
template <typename Take> void Receive_messages(int fd, std::mutex &lock, Take take)
{
    QByteArray message;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        const long long now = Now_ns();
        std::lock_guard<std::mutex> hold(lock);
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] != '%') {
                message += buffer[i];
                continue;
            }
            take(message, now);
            message.clear();
        }
    }
}

// The timing server's side of one connection: a thread blocked in recv() stamps each
// Start line (exactly what Send_Start_Command sends; anything else is counted), and
// on request one more sends as fast as the client takes it.
class Stamping_peer
{
public:
    // realtime: the stamping thread goes first where it may (SCHED_FIFO, as root).
    explicit Stamping_peer(bool realtime = false) : want_realtime_(realtime) {}
    ~Stamping_peer()
    {
        Stop_sending();
        if (fd_ >= 0)
            ::shutdown(fd_, SHUT_RDWR);
        if (receiver_.joinable())
            receiver_.join();
        if (fd_ >= 0)
            ::close(fd_);
    }

    // After the client has connected.
    void Accept()
    {
        fd_ = listener.Accept();
        const timeval wait{0, 100 * 1000}; // a send blocked by a client that reads no more gives up
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
        receiver_ = std::thread([this] {
            // A timing server stamps on a machine of its own; here it shares two cores
            // with a client under a flood, so its stamping thread goes first where it may.
            sched_param realtime{};
            realtime.sched_priority = 10;
            realtime_ = want_realtime_ && pthread_setschedparam(pthread_self(), SCHED_FIFO, &realtime) == 0;
            Receive();
        });
    }
    bool Realtime() const { return realtime_; }

    void Start_sending(const QByteArray &unit)
    {
        sending_ = true;
        sender_ = std::thread([this, unit] {
            qsizetype at = 0;
            while (sending_) {
                const ssize_t sent = ::send(fd_, unit.constData() + at, size_t(unit.size() - at), MSG_NOSIGNAL);
                if (sent > 0) {
                    sent_bytes += sent;
                    at = (at + sent) % unit.size();
                } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                    return;
                }
            }
        });
    }
    void Stop_sending()
    {
        sending_ = false;
        if (sender_.joinable())
            sender_.join();
    }

    std::vector<long long> Arrivals() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return arrivals_;
    }
    int Wrong_messages() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return wrong_;
    }

    Loopback_listener listener;
    std::atomic<long long> sent_bytes{0};

private:
    void Receive()
    {
        Receive_messages(fd_, mutex_, [this](const QByteArray &message, long long now) {
            if (message.size() == 23 && message.mid(8) == " Velantra Start")
                arrivals_.push_back(now);
            else
                ++wrong_;
        });
    }

    const bool want_realtime_;
    int fd_ = -1;
    std::thread receiver_, sender_;
    std::atomic<bool> sending_{false};
    mutable std::mutex mutex_;
    std::vector<long long> arrivals_;
    int wrong_ = 0;
    std::atomic<bool> realtime_{false};
};
