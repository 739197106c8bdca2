#pragma once
// The calls of one system (platform/posix/, platform/win32/) on a connected TCP socket,
// beside what Qt gives. Errors are Windows Sockets error numbers on every system, the
// numbers the client shows (core/connection/winsock_state.h); a C library error number
// without one is given as 30000 and that number. Plain C++.

#include <cstdint>

namespace Socket_calls {

using Socket = std::intptr_t;

// A socket of the same connection that stays valid (and is never reused by another
// file) until Close, whatever happens to the original; -1 on failure.
Socket Duplicate(Socket socket);
void Close(Socket socket);

// Hands up to size bytes to the network without waiting and without a signal: the
// count taken, 0 when none fit now, -1 on an error (error: its Windows Sockets number).
std::int64_t Send(Socket socket, const char *data, std::int64_t size, int *error);

// After the connection ended: true when the peer reset it rather than closing it.
bool Was_reset(Socket socket);

// Probes after idle_s of silence, interval_s apart (probes of them where a system lets
// that be set), and an end once sent bytes go unacknowledged for timeout_ms. False
// when the system refused any of it.
bool Limit_dead_link(Socket socket, int idle_s, int interval_s, int probes, int timeout_ms);

// Bytes handed to the network that the peer's machine has not acknowledged (also after
// the connection ended); -1 where the system cannot tell.
std::int64_t Unacknowledged_bytes(Socket socket);

// The connection is ended with a reset when its last descriptor closes.
void Discard_unsent_on_close(Socket socket);

} // namespace Socket_calls
