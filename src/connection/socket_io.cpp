#include "connection/socket_io.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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
