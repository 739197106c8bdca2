#include "core/platform/socket_calls.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#ifndef TCP_MAXRT
#define TCP_MAXRT 5 // ws2ipdef.h of the Windows SDK; MinGW-w64's lacks it
#endif

namespace Socket_calls {

namespace {
SOCKET Native(Socket socket) { return static_cast<SOCKET>(socket); }
} // namespace

Socket Duplicate(Socket socket)
{
    WSAPROTOCOL_INFOW info{};
    if (WSADuplicateSocketW(Native(socket), GetCurrentProcessId(), &info) != 0)
        return -1;
    const SOCKET own = WSASocketW(FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, FROM_PROTOCOL_INFO, &info, 0,
                                  WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (own == INVALID_SOCKET)
        return -1;
    // Sends on it never wait. An event selection on the shared socket (Qt's) has made it
    // non-blocking already, and then refuses the switch with WSAEINVAL.
    u_long non_blocking = 1;
    if (ioctlsocket(own, FIONBIO, &non_blocking) != 0 && WSAGetLastError() != WSAEINVAL) {
        closesocket(own);
        return -1;
    }
    return Socket(own);
}

void Close(Socket socket)
{
    if (socket >= 0)
        closesocket(Native(socket));
}

std::int64_t Send(Socket socket, const char *data, std::int64_t size, int *error)
{
    // Windows raises no signal for a peer that has gone.
    const int chunk = size > 0x40000000 ? 0x40000000 : int(size);
    const int sent = send(Native(socket), data, chunk, 0);
    if (sent != SOCKET_ERROR)
        return sent;
    const int code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK)
        return 0;
    *error = code;
    return -1;
}

bool Was_reset(Socket socket)
{
    // The peer's reset shows as the socket's pending error.
    int code = 0;
    int size = sizeof code;
    return getsockopt(Native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&code), &size) == 0
           && code == WSAECONNRESET;
}

bool Limit_dead_link(Socket socket, int idle_s, int interval_s, int /*probes: Windows sends ten*/, int timeout_ms)
{
    tcp_keepalive keep_alive{};
    keep_alive.onoff = 1;
    keep_alive.keepalivetime = ULONG(idle_s) * 1000;
    keep_alive.keepaliveinterval = ULONG(interval_s) * 1000;
    DWORD returned = 0;
    const bool probes = WSAIoctl(Native(socket), SIO_KEEPALIVE_VALS, &keep_alive, sizeof keep_alive, nullptr, 0,
                                 &returned, nullptr, nullptr)
                        == 0;
    // Whole seconds: the option takes no less.
    const DWORD seconds = DWORD(timeout_ms + 999) / 1000;
    const bool timeout = setsockopt(Native(socket), IPPROTO_TCP, TCP_MAXRT, reinterpret_cast<const char *>(&seconds),
                                    sizeof seconds)
                         == 0;
    return probes && timeout;
}

// Windows 10 tells it through SIO_TCP_INFO, which builds for older Windows lack: not asked,
// so messages are told as sent without that check.
std::int64_t Unacknowledged_bytes(Socket) { return -1; }

void Discard_unsent_on_close(Socket socket)
{
    const linger reset{1, 0};
    setsockopt(Native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&reset), sizeof reset);
}

} // namespace Socket_calls
