#include "core/platform/win32/win32_socket.h"

#include "core/platform/win32/win32_api.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>

#ifndef TCP_MAXRT
#define TCP_MAXRT 5 // ws2ipdef.h of the Windows SDK; MinGW-w64's lacks it
#endif

bool Win32_limit_dead_link(std::uintptr_t socket, unsigned long idle_ms, unsigned long interval_ms,
                           unsigned long timeout_s)
{
    const SOCKET s = static_cast<SOCKET>(socket);
    tcp_keepalive keep_alive{};
    keep_alive.onoff = 1;
    keep_alive.keepalivetime = idle_ms;
    keep_alive.keepaliveinterval = interval_ms;
    DWORD returned = 0;
    const bool probes = WSAIoctl(s, SIO_KEEPALIVE_VALS, &keep_alive, sizeof keep_alive, nullptr, 0, &returned,
                                 nullptr, nullptr)
                        == 0;
    const DWORD seconds = timeout_s;
    const bool timeout = setsockopt(s, IPPROTO_TCP, TCP_MAXRT, reinterpret_cast<const char *>(&seconds),
                                    sizeof seconds)
                         == 0;
    return probes && timeout;
}
