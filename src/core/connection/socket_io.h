#pragma once
// The little the message writer needs of the operating system's sockets, beside what
// Qt gives (core/platform/socket_calls.h): its own descriptor of a connected socket, a
// send that never blocks, and whether the peer reset the connection (Qt reads a reset
// as an orderly end). Errors are Windows Sockets numbers (core/connection/winsock_state.h).

#include <QtGlobal>

namespace Socket_io {

// A descriptor of the same connection that stays valid (and is never reused by
// another file) until Close, whatever happens to the original.
qintptr Duplicate(qintptr socket);
void Close(qintptr socket);

// Hands up to size bytes to the network without waiting: the count taken, 0 when
// none fit now, -1 on an error (error: its Windows Sockets number).
qint64 Send(qintptr socket, const char *data, qint64 size, int &error);

// After the connection ended: true when the peer reset it rather than closing it.
bool Was_reset(qintptr socket);

// A link that dies without a word (a cable pulled, the server's PC frozen) ends the
// connection in seconds rather than after the system's many minutes of retries: probes
// after Keep_alive_idle_s of silence, Keep_alive_interval_s apart, and an end once sent
// bytes or probes go unacknowledged for User_timeout_ms. False when the system refused.
constexpr int Keep_alive_idle_s = 3;
constexpr int Keep_alive_interval_s = 1;
constexpr int Keep_alive_probes = 3;
constexpr int User_timeout_ms = 5000;
bool Limit_dead_link(qintptr socket);

// Bytes handed to the network that the peer's machine has not acknowledged (also after
// the connection ended); -1 where the system cannot tell.
qint64 Unacknowledged_bytes(qintptr socket);

// The connection is ended with a reset when its last descriptor closes, so nothing it
// still holds is delivered late.
void Discard_unsent_on_close(qintptr socket);

} // namespace Socket_io
