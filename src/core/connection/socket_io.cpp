#include "core/connection/socket_io.h"

#ifdef Q_OS_WIN
#include "core/platform/win32/win32_socket.h"
#endif

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Socket_io {

qintptr Duplicate(qintptr socket)
{
    return ::fcntl(int(socket), F_DUPFD_CLOEXEC, 0);
}

void Close(qintptr socket)
{
    if (socket >= 0)
        ::close(int(socket));
}

qint64 Send(qintptr socket, const char *data, qint64 size, int &error)
{
    for (;;) {
        // No SIGPIPE: a peer that has gone is an error here, not the end of the program.
        const ssize_t sent = ::send(int(socket), data, size_t(size), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent >= 0)
            return sent;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        error = errno;
        return -1;
    }
}

bool Was_reset(qintptr socket)
{
#ifdef TCP_INFO
    // An orderly close leaves the connection half open (CLOSE_WAIT) until this side
    // closes too; a reset ends it at once.
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(int(socket), IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return false;
    return info.tcpi_state == TCP_CLOSE;
#else
    Q_UNUSED(socket);
    return false;
#endif
}

bool Limit_dead_link(qintptr socket)
{
#ifdef Q_OS_WIN
    return Win32_limit_dead_link(std::uintptr_t(socket), Keep_alive_idle_s * 1000, Keep_alive_interval_s * 1000,
                                 User_timeout_ms / 1000);
#else
    const int fd = int(socket);
    const auto set = [fd](int level, int name, int value) {
        return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
    };
    bool ok = set(SOL_SOCKET, SO_KEEPALIVE, 1);
#ifdef TCP_KEEPIDLE
    ok = set(IPPROTO_TCP, TCP_KEEPIDLE, Keep_alive_idle_s) && ok;
    ok = set(IPPROTO_TCP, TCP_KEEPINTVL, Keep_alive_interval_s) && ok;
    ok = set(IPPROTO_TCP, TCP_KEEPCNT, Keep_alive_probes) && ok;
#endif
#ifdef TCP_USER_TIMEOUT
    ok = set(IPPROTO_TCP, TCP_USER_TIMEOUT, User_timeout_ms) && ok;
#endif
    return ok;
#endif
}

qint64 Unacknowledged_bytes(qintptr socket)
{
#ifdef TIOCOUTQ
    // For TCP: what was written and not yet acknowledged, kept after the end too.
    int bytes = 0;
    if (::ioctl(int(socket), TIOCOUTQ, &bytes) == 0)
        return bytes;
#else
    Q_UNUSED(socket);
#endif
    return -1;
}

void Discard_unsent_on_close(qintptr socket)
{
    const linger reset{1, 0};
    ::setsockopt(int(socket), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

int Winsock_number(int error)
{
    switch (error) {
    case ENOBUFS: return 10055;
    case ECONNRESET: return 10054;
    case EPIPE:
    case ENOTCONN: return 10057;
    case ECONNABORTED: return 10053;
    case ETIMEDOUT: return 10060;
    case ENETUNREACH: return 10051;
    case EHOSTUNREACH: return 10065;
    default: return 30000 + error; // clear of that range and of the numbers given to Qt's own codes
    }
}

QString Error_text(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

int No_buffer_space()
{
    return ENOBUFS;
}

int Connection_reset()
{
    return ECONNRESET;
}

} // namespace Socket_io
