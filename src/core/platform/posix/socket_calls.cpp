#include "core/platform/socket_calls.h"

#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Socket_calls {

namespace {

// Windows Sockets' number for the system's error number: the one table of that mapping.
int Winsock_number(int error_number)
{
    switch (error_number) {
    case ENOBUFS: return 10055;
    case ECONNRESET: return 10054;
    case EPIPE: // a send after the peer's end: Windows says the socket is no longer connected
    case ENOTCONN: return 10057;
    case ECONNABORTED: return 10053;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ENETUNREACH: return 10051;
    case EHOSTUNREACH: return 10065;
    default: return 30000 + error_number;
    }
}

} // namespace

Socket Duplicate(Socket socket) { return ::fcntl(int(socket), F_DUPFD_CLOEXEC, 0); }

void Close(Socket socket)
{
    if (socket >= 0)
        ::close(int(socket));
}

std::int64_t Send(Socket socket, const char *data, std::int64_t size, int *error)
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
        *error = Winsock_number(errno);
        return -1;
    }
}

bool Was_reset(Socket socket)
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
    (void)socket;
    return false;
#endif
}

bool Limit_dead_link(Socket socket, int idle_s, int interval_s, int probes, int timeout_ms)
{
    const int fd = int(socket);
    const auto set = [fd](int level, int name, int value) {
        return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
    };
    bool ok = set(SOL_SOCKET, SO_KEEPALIVE, 1);
#ifdef TCP_KEEPIDLE
    ok = set(IPPROTO_TCP, TCP_KEEPIDLE, idle_s) && ok;
    ok = set(IPPROTO_TCP, TCP_KEEPINTVL, interval_s) && ok;
    ok = set(IPPROTO_TCP, TCP_KEEPCNT, probes) && ok;
#else
    (void)idle_s, (void)interval_s, (void)probes;
#endif
#ifdef TCP_USER_TIMEOUT
    ok = set(IPPROTO_TCP, TCP_USER_TIMEOUT, timeout_ms) && ok;
#else
    (void)timeout_ms;
#endif
    return ok;
}

std::int64_t Unacknowledged_bytes(Socket socket)
{
#ifdef TIOCOUTQ
    // For TCP: what was written and not yet acknowledged, kept after the end too.
    int bytes = 0;
    if (::ioctl(int(socket), TIOCOUTQ, &bytes) == 0)
        return bytes;
#else
    (void)socket;
#endif
    return -1;
}

void Discard_unsent_on_close(Socket socket)
{
    const linger reset{1, 0};
    ::setsockopt(int(socket), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

} // namespace Socket_calls
